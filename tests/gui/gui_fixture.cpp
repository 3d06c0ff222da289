#include "gui/gui_fixture.h"

#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "history/history_store.h"
#include "platform/resources/resource_module.h"
#include "platform/settings/key_store.h"
#include "platform/text/utf8.h"
#include "support/stored_settings.h"
#ifdef _WIN32
#include "framework/win32_window.h"
#endif

std::string Narrow(const CString& text) {
    std::string out;
    for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return out;
}

GuiTest::GuiTest() {
    m_app = std::make_unique<CQuarvelApp>();
    m_app->UseQtApplication();  // on Windows: the run's own message loop
}

GuiTest::~GuiTest() {
    m_dlg.reset();
    m_app.reset();  // waits for a session thread and releases the link before the tool goes
    if (m_sim) m_sim->Stop();
    AfxSetResourceHandle(nullptr);
}

void GuiTest::MakeKey(const std::vector<std::pair<std::string, std::string>>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, text] : values) {
        ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

std::string GuiTest::Stored(const std::string& name) const { return StoredSettingsText(name); }

void GuiTest::StartSlowTool(DWORD replyDelayMs) {
    rk9sim::FaultPlan faults;
    faults.nReplyDelayMs = replyDelayMs;
    StartTool({}, faults);
}

void GuiTest::StartTool(rk9sim::ToolProfile profile, rk9sim::FaultPlan faults) {
    // A tool before this one goes first: it frees its line, and its port mapping restores the previous one.
#ifndef _WIN32
    m_ports.reset();
#endif
    m_sim.reset();
    m_sim = std::make_unique<rk9sim::Simulator>(std::move(profile), std::move(faults));
    std::string error;
#ifdef _WIN32
    ASSERT_TRUE(m_sim->OpenDevice("COM3", &error)) << error;
    ASSERT_TRUE(m_sim->Start());
#else
    ASSERT_TRUE(m_sim->OpenPty(&error)) << error;
    ASSERT_TRUE(m_sim->Start());
    m_ports = std::make_unique<testsupport::ScopedPorts>("1=" + m_sim->DevicePath());
#endif
}

void GuiTest::RunMainDialog(const std::function<void(TestWindow window)>& script, DWORD exitDeadlineMs) {
    m_dlg = std::make_unique<CQuarvelDlg>(m_app.get());
    m_app->m_pMainWnd = m_dlg.get();
    ModalDeadline deadline(60000);
    WhenModal([&](TestWindow window) {
        m_window = window;
        script(window);
        if (!m_dlg->IsEnded()) m_dlg->EndDialog(IDCANCEL);
    });
    m_dlg->DoModal();
    m_app->m_pMainWnd = nullptr;
    m_window = nullptr;
    EXPECT_TRUE(m_app->ReleaseAtExit(exitDeadlineMs)) << "the session thread outlived the deadline";
}

void GuiTest::Press(int id) { m_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), BN_CLICKED)); }

void GuiTest::ConnectThroughPortDialog() {
    WhenModal([](TestWindow modal) {
        if (!HasControl(modal, IDOK) || WindowCaption(modal) != u"Connection") {
            ADD_FAILURE() << "the Connection dialog did not open";
            return;
        }
        // The port the tool is on: the first on Linux; under Wine COM1 may be a real port.
        const std::string port = kToolPort;
        EXPECT_TRUE(ChooseText(modal, IDC_PORT_LIST, CString(port.begin(), port.end()))) << port;
        Click(modal, IDOK);
    });
    Press(IDC_CONNECT);
}

std::string GuiTest::Text(int id) const { return Utf16ToUtf8(m_dlg->GetDlgItemText(id)); }

bool GuiTest::WaitForButton(const std::string& label, int ms) const {
    return WaitUntil([&] { return Text(IDC_CONNECT) == label; }, ms);
}

std::string GuiTest::HistoryFile() { return DefaultHistoryPath(); }

#ifdef _WIN32
std::vector<GuiTest::MenuEntry> GuiTest::SystemMenu(int submenu) const {
    std::vector<MenuEntry> entries;
    HMENU menu = m_window != nullptr ? ::GetSystemMenu(m_window, FALSE) : nullptr;
    if (menu != nullptr && submenu >= 0) menu = ::GetSubMenu(menu, submenu);
    const int count = menu != nullptr ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        MenuEntry entry;
        entry.flags = (info.fType & MFT_SEPARATOR) != 0 ? MF_SEPARATOR
                      : info.hSubMenu != nullptr        ? MF_POPUP
                                                        : MF_STRING;
        entry.id = entry.flags == MF_STRING ? info.wID : 0;
        wchar_t text[128] = {};
        if (entry.flags != MF_SEPARATOR)
            ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        for (const wchar_t* c = text; *c != 0; ++c) entry.text.push_back(static_cast<char16_t>(*c));
        entry.checked = (info.fState & MFS_CHECKED) != 0;
        entries.push_back(std::move(entry));
    }
    return entries;
}
#else
std::vector<GuiTest::MenuEntry> GuiTest::SystemMenu(int submenu) const {
    std::vector<MenuEntry> entries;
    const CMenu* menu = m_dlg != nullptr ? m_dlg->GetSystemMenu(FALSE) : nullptr;
    if (menu != nullptr && submenu >= 0) {
        menu =
            static_cast<std::size_t>(submenu) < menu->Items().size() ? menu->Items()[submenu].popup : nullptr;
    }
    for (const CMenu::Item& item : menu != nullptr ? menu->Items() : std::vector<CMenu::Item>{}) {
        entries.push_back({item.flags, item.id, item.text, item.checked});
    }
    return entries;
}
#endif
