// The main dialog without a tool: start-up display, system menu, icons, the display's rounding and
// scaling, the texts back into the record, the About box, and Exit/Esc with an out-of-range counter.
#include <algorithm>
#include <iterator>

#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "gui/gui_fixture.h"

namespace {

const CString kRangeMessage = u"Enter an integer between 0 and 18001.";

// Puts a record into the application and shows it as a SESSION_OK would.
void Show(CQuarvelApp& app, CQuarvelDlg& dlg, const std::function<void(ToolRecord&)>& edit) {
    app.UpdateRecord(edit);
    dlg.TransferRecord(FALSE);
    dlg.UpdateData(FALSE);
}

// The position of the Language submenu in the system menu; -1 when there is none.
int LanguagePosition(const std::vector<GuiTest::MenuEntry>& menu) {
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (menu[i].flags == MF_POPUP) return static_cast<int>(i);
    }
    return -1;
}

// The design's zero record at start, shown for what it is: no reading (dimmed, and the caption says so).
TEST_F(GuiTest, StartShowsAZeroRecordMarkedAsNotRead) {
    RunMainDialog([&](TestWindow window) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowCaption(window), u"Quarvel - no tool read yet");
        EXPECT_EQ(m_dlg->WhatIsShown(), CQuarvelDlg::Shown::NotRead);
        for (int id : {IDC_TOOL_MODEL, IDC_RESULT, IDC_DIRECTION, IDC_CYCLE_COUNTER}) {
            EXPECT_TRUE(IsDimmed(window, id)) << id;
            EXPECT_TRUE(IsControlEnabled(window, id)) << id;  // still focusable and readable
        }
        EXPECT_EQ(FocusedControl(window), IDC_TOOL_MODEL);
        EXPECT_EQ(Text(IDC_CYCLE_COUNTER), "0");
        EXPECT_EQ(Text(IDC_TOTAL_COUNTER), "0");
        EXPECT_EQ(Text(IDC_POSITION), "0");
        EXPECT_EQ(Text(IDC_FORCE), "0");
        for (int id : {IDC_TOOL_MODEL, IDC_TOOL_SERIAL, IDC_CONTROLLER_SERIAL, IDC_FIRMWARE_VERSION}) {
            EXPECT_EQ(Text(id), "") << id;
        }
        EXPECT_EQ(Text(IDC_RESULT), "Successful cycle");
        EXPECT_EQ(Text(IDC_DIRECTION), "Backward");
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");

        ASSERT_TRUE(HasControl(window, IDC_CONTROLLER_SERIAL));
        EXPECT_TRUE(IsReadOnly(window, IDC_CONTROLLER_SERIAL));
        EXPECT_EQ(EditLimit(window, IDC_CONTROLLER_SERIAL), 14);
        EXPECT_EQ(EditLimit(window, IDC_TOOL_SERIAL), 20);
        EXPECT_EQ(EditLimit(window, IDC_FIRMWARE_VERSION), 22);
        EXPECT_EQ(EditLimit(window, IDC_TOOL_MODEL), 19);
        EXPECT_TRUE(HasControl(window, ID_HELP));
        EXPECT_FALSE(IsControlShown(window, ID_HELP));
        EXPECT_TRUE(IsControlEnabled(window, IDC_SAVE));
        EXPECT_TRUE(HasIcon(window));
        EXPECT_EQ(m_dlg->OnQueryDragIcon(), AfxLoadIcon(IDR_MAINFRAME));
    });
}

TEST_F(GuiTest, SystemMenuCarriesAboutAndTheLanguagePopupWithTheCheckOnTheStoredLanguage) {
    MakeKey({{"Language", "2"}});  // no Language2 value: Italian is checked, the interface stays English
    LoadLanguage(*m_app);
    ASSERT_EQ(m_app->Language, 2);
    RunMainDialog([&](TestWindow) {
        const auto items = SystemMenu();
        ASSERT_GE(items.size(), 6u);
        const std::size_t n = items.size() - 1;  // the last: Team history
        EXPECT_EQ(items[n - 4].flags, MF_SEPARATOR);
        EXPECT_EQ(items[n - 3].id, IDM_ABOUTBOX);
        EXPECT_EQ(items[n - 3].text, u"&About Quarvel...");
        EXPECT_EQ(items[n - 2].flags, MF_POPUP);
        EXPECT_EQ(items[n - 2].text, u"Language");
        EXPECT_EQ(items[n - 1].id, IDM_HISTORY);  // after the Language submenu
        EXPECT_EQ(items[n - 1].text, u"History...");
        EXPECT_EQ(items[n].id, IDM_TEAM);
        EXPECT_EQ(items[n].text, u"Team history...");

        const auto popup = SystemMenu(LanguagePosition(items));
        ASSERT_EQ(popup.size(), 4u);
        const char16_t* names[] = {u"English", u"French", u"Italian", u"Bulgarian"};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(popup[i].id, IDM_LANGUAGE_ENGLISH + static_cast<UINT>(i));
            EXPECT_EQ(popup[i].text, names[i]);
            EXPECT_EQ(popup[i].checked, i == 2) << i;
        }
    });
}

TEST_F(GuiTest, ALanguageIndexOutsideTheMenuChecksNothing) {
    m_app->Language = 7;
    RunMainDialog([&](TestWindow) {
        const int position = LanguagePosition(SystemMenu());
        ASSERT_GE(position, 0);
        const auto popup = SystemMenu(position);
        EXPECT_EQ(popup.size(), 4u);
        for (const auto& item : popup) EXPECT_FALSE(item.checked) << item.id;
    });
}

TEST_F(GuiTest, DisplayRoundsThePositionToHundredthsAndScalesTheForce) {
    struct Case {
        DWORD counts;
        const char* shown;
    };
    // 4662 and 5698 are the two 16-bit readings the report rounds one hundredth higher.
    const Case cases[] = {{1000, "10.86"}, {1, "0.01"},   {65535, "711.65"}, {4662, "50.62"},
                          {5698, "61.87"}, {250, "2.71"}, {0, "0"}};
    RunMainDialog([&](TestWindow) {
        for (const Case& c : cases) {
            Show(*m_app, *m_dlg, [&](ToolRecord& r) { r.PositionCounts = c.counts; });
            EXPECT_EQ(Text(IDC_POSITION), c.shown) << c.counts;
        }
        Show(*m_app, *m_dlg, [](ToolRecord& r) {
            r.ForceReading = 500;
            r.ForceFactor = 3;
            r.ForceDivisor = 2;
        });
        EXPECT_EQ(Text(IDC_FORCE), "0.75");
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.ForceDivisor = 0; });
        EXPECT_EQ(Text(IDC_FORCE), "0");
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.CycleFlags = 3; });
        EXPECT_EQ(Text(IDC_RESULT), "Working range not reached or exceeded");
        EXPECT_EQ(Text(IDC_DIRECTION), "Backward");
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.CycleFlags = 4; });
        EXPECT_EQ(Text(IDC_RESULT), "Successful cycle");
        EXPECT_EQ(Text(IDC_DIRECTION), "Forward");
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.CycleFlags = 0xF2; });  // only bits 0-2 count
        EXPECT_EQ(Text(IDC_RESULT), "Unexpected mechanical barrier encountered");
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.TotalCounter = 0xFFFFFFFFu; });
        EXPECT_EQ(Text(IDC_TOTAL_COUNTER), "4294967295");  // unsigned on screen
    });
}

TEST_F(GuiTest, TransferToTheRecordCopiesCountersAndTextsOnlyCutAndNulFilled) {
    RunMainDialog([&](TestWindow) {
        Show(*m_app, *m_dlg, [](ToolRecord& r) {
            r.CycleCounter = 5;
            r.PositionCounts = 77;
            r.CycleFlags = 1;
            std::fill(std::begin(r.ToolModel), std::end(r.ToolModel) - 1, u'x');
        });
        m_dlg->SetDlgItemText(IDC_TOTAL_COUNTER, u"4242");
        m_dlg->SetDlgItemText(IDC_TOOL_MODEL, u"Model");
        m_dlg->SetDlgItemText(IDC_POSITION, u"99");  // the display's own copy: never goes back
        ASSERT_TRUE(m_dlg->UpdateData(TRUE));
        m_dlg->TransferRecord(TRUE);
        const ToolRecord r = m_app->SnapshotRecord();
        EXPECT_EQ(r.CycleCounter, 5u);
        EXPECT_EQ(r.TotalCounter, 4242u);
        EXPECT_EQ(r.PositionCounts, 77u);
        EXPECT_EQ(r.CycleFlags, 1u);
        EXPECT_EQ(CString(r.ToolModel), u"Model");
        for (std::size_t i = 5; i < std::size(r.ToolModel); ++i) EXPECT_EQ(r.ToolModel[i], 0) << i;
    });
}

TEST_F(GuiTest, AboutBoxNamesTheProgramAndItsVersion) {
    RunMainDialog([&](TestWindow) {
        CString caption, label;
        WhenModal([&](TestWindow about) {
            ASSERT_NE(about, nullptr);
            caption = WindowCaption(about);
            label = ControlText(about, IDC_VERSION_LABEL);
            Click(about, IDOK);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        EXPECT_EQ(caption, u"Quarvel");
        EXPECT_EQ(label, u"Quarvel 1.2");
    });
}

TEST_F(GuiTest, ExitWithACounterOutOfRangeShowsTheRangeMessageTwiceAndStaysOpenEscCloses) {
    RunMainDialog([&](TestWindow) {
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.CycleCounter = 18002; });
        {
            MessageBoxRecorder boxes(IDOK);
            Press(IDOK);
            ASSERT_EQ(boxes.boxes.size(), 2u);
            for (const auto& box : boxes.boxes) EXPECT_EQ(box.text, kRangeMessage);
            EXPECT_FALSE(m_dlg->IsEnded());
        }
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.CycleCounter = 18001; });  // the top of the range is fine
        ASSERT_TRUE(m_dlg->UpdateData(TRUE));
        Show(*m_app, *m_dlg, [](ToolRecord& r) { r.CycleCounter = 20000; });
        MessageBoxRecorder boxes(IDOK);
        Press(IDCANCEL);
        EXPECT_EQ(boxes.boxes.size(), 1u);  // Cancel reads the controls once, then closes regardless
        EXPECT_TRUE(m_dlg->IsEnded());
    });
}

}  // namespace
