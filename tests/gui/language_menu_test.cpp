// The Language popup of the system menu: the checked language does nothing, another one is stored and
// asks for a restart, a failed store changes nothing.
#include "framework/afx.h"
#include "gui/gui_fixture.h"

namespace {

UINT CheckedLanguage(CQuarvelDlg& dlg) {
    CMenu* sys = dlg.GetSystemMenu(FALSE);
    for (UINT id = IDM_LANGUAGE_ENGLISH; sys != nullptr && id <= IDM_LANGUAGE_BULGARIAN; ++id) {
        if (sys->GetMenuState(id, MF_BYCOMMAND) == MF_CHECKED) return id;
    }
    return 0;
}

TEST_F(GuiTest, ChoosingTheCheckedLanguageWritesNothingAndShowsNothing) {
    MakeKey();
    RunMainDialog([&](TestWindow) {
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_LANGUAGE_ENGLISH, 0);  // the failing answerer catches any box
        EXPECT_EQ(Stored("Language"), "<none>");
        EXPECT_EQ(CheckedLanguage(*m_dlg), IDM_LANGUAGE_ENGLISH);
    });
}

TEST_F(GuiTest, ChoosingAnotherLanguageStoresItMovesTheCheckAndAsksForARestart) {
    MakeKey();
    RunMainDialog([&](TestWindow) {
        MessageBoxRecorder boxes(IDOK);
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_LANGUAGE_ITALIAN, 0);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, u"Please restart the program to activate the new settings");
        EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(Stored("Language"), "2");
        EXPECT_EQ(m_app->Language, 2);
        EXPECT_EQ(CheckedLanguage(*m_dlg), IDM_LANGUAGE_ITALIAN);
        // The running program keeps its language.
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");
    });
}

TEST_F(GuiTest, AFailedLanguageStoreLeavesTheCheckAndTheLanguageSoAnotherTryWritesAgain) {
    // No key: the program never creates it, so the store fails with 2 and nothing is shown.
    RunMainDialog([&](TestWindow) {
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_LANGUAGE_FRENCH, 0);
        EXPECT_EQ(Stored("Language"), "<no key>");
        EXPECT_EQ(CheckedLanguage(*m_dlg), IDM_LANGUAGE_ENGLISH);
        EXPECT_EQ(m_app->Language, 0);

        MakeKey();
        MessageBoxRecorder boxes(IDOK);
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_LANGUAGE_FRENCH, 0);
        EXPECT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(Stored("Language"), "1");
        EXPECT_EQ(CheckedLanguage(*m_dlg), IDM_LANGUAGE_FRENCH);
    });
}

}  // namespace
