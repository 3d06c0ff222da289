// The dialog's own system menu: its items, and the ways to open it, each sending WM_SYSCOMMAND. On
// Win32 it is the window's real system menu, read back through the system's menu calls.
#include <gtest/gtest.h>

#include "framework/afx.h"
#include "framework/modal_helpers.h"
#include "ids/resource_requirements.h"
#include "support/source_path.h"

#ifdef _WIN32
#include "framework/win32_window.h"
#else
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "framework/qt_string.h"
#endif

namespace {

DialogTemplate MenuTemplate(bool sysmenu) {
    DialogTemplate t;
    t.id = 9003;
    t.caption = u"Menu";
    t.cx = 150;
    t.cy = 60;
    t.styles = {"caption", "minimizebox"};
    if (sysmenu) t.styles.push_back("sysmenu");
    t.controls = {{-1, "static", u"label", 10, 30, 50, 8, {}},
                  {1, "button", u"OK", 90, 40, 50, 14, {"tabstop"}}};
    return t;
}

class MenuDialog : public CDialog {
public:
    MenuDialog() : CDialog(MenuTemplate(true)) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        CMenu* menu = GetSystemMenu(FALSE);
        menu->AppendMenuW(MF_SEPARATOR);
        menu->AppendMenuW(MF_STRING, IDM_ABOUTBOX, u"&About Quarvel...");
        language.CreatePopupMenu();
        language.AppendMenuW(MF_STRING, 1501, u"English");
        language.AppendMenuW(MF_STRING, 1502, u"French");
        language.CheckMenuRadioItem(1501, 1502, 1502, MF_BYCOMMAND);
        menu->AppendMenuW(MF_POPUP, reinterpret_cast<UINT_PTR>(language.m_hMenu), u"Language");
        return TRUE;
    }
    void OnSysCommand(UINT nID, LPARAM lParam) override {
        commands.push_back(nID);
        CDialog::OnSysCommand(nID, lParam);
    }
    CMenu language;
    std::vector<UINT> commands;
};

#ifdef _WIN32
CString MenuText(HMENU menu, UINT item, UINT flags) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, item, text, 128, flags);
    return FromWide(text);
}

UINT MenuFlagsAt(HMENU menu, int position, UINT mask) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    ::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    return mask == MIIM_FTYPE ? info.fType : info.fState;
}

TEST(SystemMenu, TheWindowsOwnMenuHasTheSystemsItemsAndRevertUndoesAdditions) {
    ModalDeadline deadline;
    CDialog dlg(MenuTemplate(true));
    WhenModal([&](TestWindow window) {
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        HMENU real = ::GetSystemMenu(window, FALSE);
        EXPECT_EQ(menu->m_hMenu, real);
        EXPECT_NE(::GetMenuState(real, SC_CLOSE, MF_BYCOMMAND), 0xFFFFFFFFu);
        EXPECT_NE(::GetMenuState(real, SC_MINIMIZE, MF_BYCOMMAND), 0xFFFFFFFFu);
        const int before = ::GetMenuItemCount(real);
        menu->AppendMenuW(MF_STRING, 16, u"extra");
        EXPECT_EQ(::GetMenuItemCount(real), before + 1);
        EXPECT_EQ(MenuText(real, 16, MF_BYCOMMAND), u"extra");
        EXPECT_EQ(dlg.GetSystemMenu(TRUE), nullptr);  // revert
        EXPECT_EQ(::GetMenuItemCount(::GetSystemMenu(window, FALSE)), before);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(SystemMenu, WithoutTheStyleThereIsNoMenu) {
    ModalDeadline deadline;
    CDialog dlg(MenuTemplate(false));
    WhenModal([&](TestWindow window) {
        EXPECT_EQ(dlg.GetSystemMenu(FALSE), nullptr);
        EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU, 0);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(SystemMenu, AddedItemsAndTheRadioSubmenuAreInTheRealMenuAndSendSysCommand) {
    ModalDeadline deadline;
    MenuDialog dlg;
    WhenModal([&](TestWindow window) {
        HMENU real = ::GetSystemMenu(window, FALSE);
        const int count = ::GetMenuItemCount(real);
        EXPECT_EQ(MenuText(real, IDM_ABOUTBOX, MF_BYCOMMAND), u"&About Quarvel...");
        EXPECT_EQ(MenuText(real, static_cast<UINT>(count - 1), MF_BYPOSITION), u"Language");
        HMENU language = ::GetSubMenu(real, count - 1);
        ASSERT_EQ(language, dlg.language.m_hMenu);
        EXPECT_NE(MenuFlagsAt(language, 1, MIIM_FTYPE) & MFT_RADIOCHECK, 0u);  // a radio mark, not a tick
        EXPECT_EQ(MenuFlagsAt(language, 0, MIIM_STATE) & MFS_CHECKED, 0u);
        EXPECT_NE(MenuFlagsAt(language, 1, MIIM_STATE) & MFS_CHECKED, 0u);
        // What the system's menu sends when an item is chosen.
        ::PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        ::PostMessageW(window, WM_SYSCOMMAND, 1501, 0);
        EXPECT_TRUE(WaitUntil([&] { return dlg.commands.size() == 2; }));
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);  // left to the system: Close cancels
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{IDM_ABOUTBOX, 1501, SC_CLOSE}));
}
#else
QMenu* OpenPopup() {
    QMenu* menu = nullptr;
    WaitUntil([&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr; });
    return menu;
}

QAction* ActionNamed(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

// Picks `text` from the open popup (a submenu when `submenu` names one) and waits for the command.
void Choose(MenuDialog& dlg, QMenu* menu, const QString& text, const QString& submenu = QString()) {
    ASSERT_NE(menu, nullptr);
    const std::size_t before = dlg.commands.size();
    if (!submenu.isEmpty()) {
        QAction* sub = ActionNamed(menu, submenu);
        ASSERT_NE(sub, nullptr);
        ASSERT_NE(sub->menu(), nullptr);
        menu = sub->menu();
        EXPECT_TRUE(ActionNamed(menu, QStringLiteral("French"))->isChecked());
        EXPECT_FALSE(ActionNamed(menu, QStringLiteral("English"))->isChecked());
        // Radio items share an exclusive group, which Qt draws with radio marks.
        QActionGroup* group = ActionNamed(menu, QStringLiteral("French"))->actionGroup();
        ASSERT_NE(group, nullptr);
        EXPECT_TRUE(group->isExclusive());
        EXPECT_EQ(ActionNamed(menu, QStringLiteral("English"))->actionGroup(), group);
    }
    QAction* action = ActionNamed(menu, text);
    ASSERT_NE(action, nullptr) << text.toStdString();
    action->trigger();
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    EXPECT_TRUE(WaitUntil([&] { return dlg.commands.size() > before; }));
}

TEST(SystemMenu, DefaultItemsAreMinimizeAndClose) {
    ModalDeadline deadline;
    CDialog dlg(MenuTemplate(true));
    WhenModal([&](QWidget*) {
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->GetMenuItemCount(), 3);
        EXPECT_EQ(menu->Items()[0].id, SC_MINIMIZE);
        EXPECT_EQ(menu->Items()[1].flags, MF_SEPARATOR);
        EXPECT_EQ(menu->Items()[2].id, SC_CLOSE);
        EXPECT_EQ(menu->Items()[0].text, u"Mi&nimize");
        EXPECT_EQ(menu->Items()[2].text, u"&Close\tAlt+F4");
        menu->AppendMenuW(MF_STRING, 16, u"extra");
        EXPECT_EQ(dlg.GetSystemMenu(TRUE), nullptr);  // revert
        EXPECT_EQ(dlg.GetSystemMenu(FALSE)->GetMenuItemCount(), 3);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(SystemMenu, ItsItemsAndTheButtonsTooltipComeFromTheModule) {
    ModalDeadline deadline;
    std::string why;
    std::shared_ptr<const CResourceModule> french =
        CResourceModule::LoadFile(SourcePath("resources/lang/fr.json"), &why, QuarvelResourceRequirements());
    ASSERT_NE(french, nullptr) << why;
    AfxSetResourceHandle(french);
    CDialog dlg(MenuTemplate(true));
    WhenModal([&](QWidget* window) {
        CMenu* menu = dlg.GetSystemMenu(FALSE);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->Items()[0].text, u"&Réduire");
        EXPECT_EQ(menu->Items()[2].text, u"&Fermer\tAlt+F4");
        auto* button = window->findChild<QToolButton*>(QStringLiteral("systemMenuButton"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), QStringLiteral("Menu de la fenêtre (Alt+Espace)"));
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
    AfxSetResourceHandle(nullptr);
}

TEST(SystemMenu, WithoutTheStyleThereIsNoMenuAndNoButton) {
    ModalDeadline deadline;
    CDialog dlg(MenuTemplate(false));
    WhenModal([&](QWidget* window) {
        EXPECT_EQ(dlg.GetSystemMenu(FALSE), nullptr);
        EXPECT_EQ(window->findChild<QToolButton*>(QStringLiteral("systemMenuButton")), nullptr);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(SystemMenu, RightClickOpensItAndAnItemSendsSysCommand) {
    ModalDeadline deadline;
    MenuDialog dlg;
    WhenModal([&](QWidget* window) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(window, &event);
        Choose(dlg, OpenPopup(), QStringLiteral("&About Quarvel..."));
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{IDM_ABOUTBOX}));
}

TEST(SystemMenu, AltSpaceOpensItAndSubmenuItemsSendSysCommand) {
    ModalDeadline deadline;
    MenuDialog dlg;
    WhenModal([&](QWidget* window) {
        QTest::keyClick(window, Qt::Key_Space, Qt::AltModifier);
        Choose(dlg, OpenPopup(), QStringLiteral("English"), QStringLiteral("Language"));
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{1501}));
}

TEST(SystemMenu, TheCornerButtonOpensItAndCloseCancelsTheDialog) {
    ModalDeadline deadline;
    MenuDialog dlg;
    WhenModal([&](QWidget* window) {
        auto* button = window->findChild<QToolButton*>(QStringLiteral("systemMenuButton"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->geometry().right(), window->width() - 2);
        EXPECT_LE(button->geometry().top(), 2);
        button->click();
        Choose(dlg, OpenPopup(), QStringLiteral("&Close\tAlt+F4"));
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{SC_CLOSE}));
}
#endif

}  // namespace
