#include "gui/gui_fixture.h"

#include <QPushButton>
#include <QWidget>

#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "platform/key_store.h"
#include "platform/resource_module.h"

std::string Narrow(const CString& text) {
    std::string out;
    for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return out;
}

GuiTest::GuiTest() {
    m_app = std::make_unique<CQuarvelApp>();
    m_app->UseQtApplication();
}

GuiTest::~GuiTest() {
    m_dlg.reset();
    m_app.reset();  // waits for a session thread and releases the link before the tool goes
    if (m_sim) m_sim->Stop();
    AfxSetResourceHandle(nullptr);
}

void GuiTest::MakeKey(const std::vector<std::pair<std::string, std::string>>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, text] : values) {
        ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

std::string GuiTest::Stored(const std::string& name) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    std::string result = "<none>";
    for (DWORD i = 0;; ++i) {
        char n[256];
        BYTE data[512];
        DWORD nLen = sizeof n, dLen = sizeof data;
        if (RegEnumValueA(key, i, n, &nLen, nullptr, nullptr, data, &dLen) != ERROR_SUCCESS) break;
        if (std::string(n, nLen) == name) result.assign(reinterpret_cast<char*>(data), dLen > 0 ? dLen - 1 : 0);
    }
    RegCloseKey(key);
    return result;
}

void GuiTest::StartTool(rk9sim::ToolProfile profile, rk9sim::FaultPlan faults) {
    m_sim = std::make_unique<rk9sim::Simulator>(std::move(profile), std::move(faults));
    std::string error;
    ASSERT_TRUE(m_sim->OpenPty(&error)) << error;
    ASSERT_TRUE(m_sim->Start());
    m_ports = std::make_unique<testsupport::ScopedPorts>("1=" + m_sim->DevicePath());
}

void GuiTest::RunMainDialog(const std::function<void(QWidget* window)>& script) {
    m_dlg = std::make_unique<CQuarvelDlg>(m_app.get());
    m_app->m_pMainWnd = m_dlg.get();
    ModalDeadline deadline(60000);
    WhenModal([&](QWidget* window) {
        m_window = window;
        script(window);
        if (!m_dlg->IsEnded()) m_dlg->EndDialog(IDCANCEL);
    });
    m_dlg->DoModal();
    m_app->m_pMainWnd = nullptr;
    m_window = nullptr;
    EXPECT_TRUE(m_app->ReleaseAtExit());
}

void GuiTest::Press(int id) { m_dlg->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), BN_CLICKED)); }

void GuiTest::ConnectThroughPortDialog() {
    WhenModal([](QWidget* modal) {
        auto* ok = Control<QPushButton>(modal, IDOK);
        if (ok == nullptr || modal->windowTitle() != QStringLiteral("Connection")) {
            ADD_FAILURE() << "the Connection dialog did not open";
            return;
        }
        ok->click();
    });
    Press(IDC_CONNECT);
}

QString GuiTest::Text(int id) const { return QString::fromStdU16String(m_dlg->GetDlgItemText(id)); }

bool GuiTest::WaitForButton(const QString& label, int ms) const {
    return WaitUntil([&] { return Text(IDC_CONNECT) == label; }, ms);
}
