// A dialog built from a template: controls at their converted rectangles, caption, tab order, keys.
// On Win32 the same checks run on the window the dialog manager built from the in-memory template.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <tuple>

#include "framework/afx.h"
#include "framework/modal_helpers.h"
#include "framework/text_fit.h"
#include "ids/resource_requirements.h"
#include "platform/text/utf8.h"
#include "support/source_path.h"

#ifdef _WIN32
#include "framework/win32_window.h"
#else
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "framework/dialog_units.h"
#include "framework/qt_string.h"
#endif

namespace {

DialogTemplate TestTemplate() {
    DialogTemplate t;
    t.id = 9000;
    t.caption = u"Layout";
    t.cx = 232;
    t.cy = 90;
    t.fontName = u"MS Shell Dlg";
    t.fontSize = 8;
    t.styles = {"popup", "caption", "sysmenu", "modalframe"};
    t.controls = {
        {1, "defbutton", u"OK", 173, 16, 50, 14, {"tabstop"}},
        {2, "button", u"Cancel", 173, 34, 50, 14, {"tabstop"}},
        {7005, "listbox", u"", 90, 18, 72, 30, {"border", "vscroll", "tabstop"}},
        {-1, "static", u"&Speed", 91, 5, 65, 8, {}},
        {1022, "combobox", u"", 12, 18, 72, 66, {"dropdownlist", "tabstop"}},
        {1005, "edit", u"", 12, 54, 60, 12, {"border", "tabstop"}},
        {1006, "button", u"Apply", 12, 70, 50, 14, {"tabstop"}},
    };
    return t;
}

class RecordingDialog : public CDialog {
public:
    explicit RecordingDialog(DialogTemplate t) : CDialog(std::move(t)) {}
    BOOL OnCommand(UINT id, UINT code) override {
        if (code == BN_CLICKED) commands.push_back(id);  // not the edits' focus and change notifications
        return CDialog::OnCommand(id, code);
    }
    std::vector<UINT> commands;
};

// Dialog units to pixels as Windows' MapDialogRect rounds them: x * base / 4, y * base / 8.
int Dlu(int value, int base, int divisor) {
    const long long scaled = static_cast<long long>(value) * base;
    const long long half = divisor / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / divisor : -((-scaled + half) / divisor));
}
PixelRect Expected(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    return {Dlu(x, units.cx, 4), Dlu(y, units.cy, 8), Dlu(cx, units.cx, 4), Dlu(cy, units.cy, 8)};
}

#ifdef _WIN32
void CloseByTitleBar(TestWindow window) { ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }
#else
void CloseByTitleBar(TestWindow window) { window->close(); }

TEST(DialogUnits, ConvertEachValueWithWindowsRounding) {
    const DialogBaseUnits units{6, 13};
    EXPECT_EQ(MapDialogRect(units, 173, 16, 50, 14), QRect(260, 26, 75, 23));  // 259.5 -> 260, 22.75 -> 23
    EXPECT_EQ(MapDialogRect(units, 0, 0, 1, 1), QRect(0, 0, 2, 2));
    EXPECT_EQ(MapDialogX(units, -3), -5);  // rounding is symmetric around zero
}

TEST(DialogUnits, WindowsDialogFontsMapToAnInstalledSansSerif) {
    const QFont font = DialogFont(u"MS Shell Dlg", 8);
    EXPECT_NE(QFontInfo(font).family(), QStringLiteral("MS Shell Dlg"));
    EXPECT_GT(font.pixelSize(), 8);
    const DialogBaseUnits units = BaseUnitsOf(font);
    EXPECT_GE(units.cx, 4);
    EXPECT_GE(units.cy, units.cx);
    // A larger font gives larger units, so a template keeps its proportions.
    const DialogBaseUnits larger = BaseUnitsOf(DialogFont(u"MS Shell Dlg", 12));
    EXPECT_GT(larger.cx, units.cx);
    EXPECT_GT(larger.cy, units.cy);
}
#endif

TEST(DialogLayout, EveryControlSitsAtItsConvertedRectangle) {
    ModalDeadline deadline;
    const DialogTemplate tmpl = TestTemplate();
    CDialog dlg(tmpl);
    bool checked = false;
    WhenModal([&](TestWindow window) {
        ASSERT_NE(window, nullptr);
        const DialogBaseUnits units = dlg.GetBaseUnits();
        EXPECT_EQ(WindowCaption(window), u"Layout");
        EXPECT_EQ(ClientRect(window), Expected(units, 0, 0, 232, 90));
        for (const ControlTemplate& c : tmpl.controls) {
            if (c.id == -1) continue;
            ASSERT_TRUE(HasControl(window, c.id)) << c.id;
            const PixelRect shown = ControlRect(window, c.id);
            const PixelRect expected = Expected(units, c.x, c.y, c.cx, c.cy);
            if (c.kind == "combobox") {
                // Closed, a combo box is one line high; its template height is the open list's.
                EXPECT_EQ(std::make_pair(shown.x, shown.y), std::make_pair(expected.x, expected.y));
                EXPECT_EQ(shown.width, expected.width);
                EXPECT_LT(shown.height, expected.height);
#ifdef _WIN32
            } else if (c.kind == "listbox") {
                // A Windows list box shows whole rows: its height shrinks to the last row that fits.
                const int row = static_cast<int>(dlg.SendDlgItemMessage(c.id, LB_GETITEMHEIGHT, 0));
                EXPECT_EQ(std::make_tuple(shown.x, shown.y, shown.width),
                          std::make_tuple(expected.x, expected.y, expected.width));
                EXPECT_LE(shown.height, expected.height);
                EXPECT_GE(shown.height, expected.height - row);
#endif
            } else {
                EXPECT_EQ(shown, expected) << c.id;
            }
        }
#ifdef _WIN32
        HWND label = ::FindWindowExW(window, nullptr, L"Static", nullptr);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(::GetDlgCtrlID(label), 0xFFFF);  // the template's -1
        EXPECT_EQ(ControlText(window, 0xFFFF), u"Speed");
        EXPECT_EQ(ControlRect(window, 0xFFFF), Expected(units, 91, 5, 65, 8));
#else
        const auto labels = window->findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels.front()->text(), QStringLiteral("Speed"));
        EXPECT_EQ(labels.front()->geometry(), MapDialogRect(units, 91, 5, 65, 8));
#endif
        checked = true;
        dlg.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(checked);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);  // the window is gone, the object stays
}

TEST(DialogLayout, TranslatedTemplateMovesAndWidensItsControls) {
    ModalDeadline deadline;
    DialogTemplate wide = TestTemplate();
    wide.cx = 300;
    wide.controls[0].x = 240;
    wide.controls[0].cx = 55;
    CDialog dlg(wide);
    WhenModal([&](TestWindow window) {
        const DialogBaseUnits units = dlg.GetBaseUnits();
        EXPECT_EQ(ControlRect(window, 1), Expected(units, 240, 16, 55, 14));
        EXPECT_EQ(ClientRect(window).width, Dlu(300, units.cx, 4));
        dlg.EndDialog(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

// A dialog larger than the screen's free area (a large scale factor) is never larger than that area: its
// controls scroll, and the button at its far corner is still there to press.
#ifndef _WIN32
TEST(DialogLayout, ADialogLargerThanTheScreenScrollsInsteadOfGrowingPastIt) {
    ModalDeadline deadline;
    DialogTemplate huge = TestTemplate();
    huge.cx = 4000;
    huge.cy = 3000;
    huge.controls[0].x = 3900;  // OK, at the far corner
    huge.controls[0].y = 2950;
    CDialog dlg(huge);
    bool pressed = false;
    dlg.MapCommand(IDOK, [&] {
        pressed = true;
        dlg.EndDialog(IDOK);
    });
    WhenModal([&](TestWindow window) {
        const QRect free = window->screen()->availableGeometry();
        EXPECT_LE(window->width(), free.width());
        EXPECT_LE(window->height(), free.height());
        ASSERT_TRUE(HasControl(window, IDOK));
        Click(window, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(pressed);
}
#endif

TEST(DialogLayout, TabOrderFollowsTemplateOrderAndFirstTabStopHasFocus) {
    ModalDeadline deadline;
    CDialog dlg(TestTemplate());
    WhenModal([&](TestWindow window) {
        EXPECT_EQ(FocusedControl(window), 1);
        const int ids[] = {1, 2, 7005, 1022, 1005, 1006};
#ifdef _WIN32
        HWND w = ::GetDlgItem(window, 1);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(::GetDlgCtrlID(w), ids[i]) << i;
            w = ::GetNextDlgTabItem(window, w, FALSE);
        }
        EXPECT_EQ(::GetDlgCtrlID(w), 1);  // round again
#else
        std::vector<QWidget*> order;
        QWidget* w = Control<QWidget>(window, 1);
        for (int i = 0; i < 6; ++i) {
            order.push_back(w);
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        }
        for (int i = 0; i < 6; ++i) EXPECT_EQ(order[i], Control<QWidget>(window, ids[i])) << i;
#endif
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST(DialogKeys, EnterPressesTheDefaultButtonAndEscCancels) {
    ModalDeadline deadline;
    RecordingDialog dlg(TestTemplate());
    dlg.MapCommand(IDOK, [&] { dlg.commands.push_back(1000); });  // keep the dialog open on IDOK
    WhenModal([&](TestWindow window) {
        PressKey(window, 1005, Key::Return);
        // A focused push button takes Enter itself.
        PressKey(window, 1006, Key::Return);
        PressKey(window, 1005, Key::Escape);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{IDOK, 1000, 1006, IDCANCEL}));
}

TEST(DialogKeys, WithoutDefaultButtonEnterActsAsIdok) {
    ModalDeadline deadline;
    DialogTemplate t = TestTemplate();
    t.controls[0].kind = "button";
    CDialog dlg(t);
    WhenModal([&](TestWindow window) { PressKey(window, 1005, Key::Enter); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST(DialogKeys, TheCloseBoxActsAsIdcancel) {
    ModalDeadline deadline;
    RecordingDialog dlg(TestTemplate());
    WhenModal([&](TestWindow window) { CloseByTitleBar(window); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.commands, (std::vector<UINT>{IDCANCEL}));
}

class EndsInInit : public CDialog {
public:
    EndsInInit() : CDialog(TestTemplate()) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        visibleDuringInit = IsWindowShown(GetSafeHwnd());
        EndDialog(0);
        return TRUE;
    }
    bool visibleDuringInit = true;
};

class FocusesInInit : public CDialog {
public:
    FocusesInInit() : CDialog(TestTemplate()) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        GetDlgItem(1005)->SetFocus();
        return FALSE;  // the dialog chose the focus itself
    }
};

TEST(DialogLifecycle, FocusSetInOnInitDialogHoldsOnceShown) {
    ModalDeadline deadline;
    FocusesInInit dlg;
    WhenModal([&](TestWindow window) {
        EXPECT_EQ(FocusedControl(window), 1005);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(DialogLifecycle, EndDialogInOnInitDialogEndsWithoutShowing) {
    ModalDeadline deadline;
    EndsInInit dlg;
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_FALSE(dlg.visibleDuringInit);
}

TEST(DialogLifecycle, MissingTemplateGivesMinusOne) {
    CDialog dlg(4321);
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST(DialogLifecycle, ControlTextsIconsAndVisibility) {
    ModalDeadline deadline;
    CDialog dlg(TestTemplate());
    WhenModal([&](TestWindow window) {
        dlg.SetDlgItemText(1005, u"RK-9");
        EXPECT_EQ(dlg.GetDlgItemText(1005), u"RK-9");
        EXPECT_EQ(ControlText(window, 1005), u"RK-9");
        dlg.SetWindowText(u"Quarvel");
        EXPECT_EQ(WindowCaption(window), u"Quarvel");
        dlg.GetDlgItem(1006)->ShowWindow(SW_HIDE);
        EXPECT_FALSE(IsControlShown(window, 1006));
        dlg.SendDlgItemMessage(1005, EM_SETREADONLY, TRUE);
        HICON icon = AfxLoadIcon(IDR_MAINFRAME);
        ASSERT_NE(icon, nullptr);
        dlg.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
#ifdef _WIN32
        EXPECT_NE(::GetWindowLongW(::GetDlgItem(window, 1005), GWL_STYLE) & ES_READONLY, 0);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, ICON_BIG, 0)), icon);
#else
        EXPECT_TRUE(Control<QLineEdit>(window, 1005)->isReadOnly());
        EXPECT_FALSE(window->windowIcon().isNull());
#endif
        EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(ControlMessages, ComboAndListBehaveLikeTheirWindowsControls) {
    ModalDeadline deadline;
    CDialog dlg(TestTemplate());
    WhenModal([&](TestWindow) {
        EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM2")), 0);
        EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM10")), 1);
        EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_SETCURSEL, 1), 1);
        EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_GETCURSEL), 1);
        EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_SETCURSEL, 5), CB_ERR);
        // Windows clears the selection on an index past the end; Wine's combo box keeps it.
        if (!UnderWine()) {
            EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_GETCURSEL), CB_ERR);
        }

        dlg.SendDlgItemMessage(7005, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"1200"));
        dlg.SendDlgItemMessage(7005, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"115200"));
        EXPECT_EQ(dlg.SendDlgItemMessage(7005, LB_GETCURSEL), LB_ERR);
        EXPECT_EQ(dlg.SendDlgItemMessage(7005, LB_SETCURSEL, 1), 1);
        EXPECT_EQ(dlg.SendDlgItemMessage(7005, LB_GETCURSEL), 1);
        ASSERT_EQ(dlg.SendDlgItemMessage(7005, LB_GETTEXTLEN, 1), 6);
        char16_t text[7] = {};
        EXPECT_EQ(dlg.SendDlgItemMessage(7005, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(text)), 6);
        EXPECT_EQ(CString(text), u"115200");
        EXPECT_EQ(dlg.SendDlgItemMessage(7005, LB_GETTEXT, 9, reinterpret_cast<LPARAM>(text)), LB_ERR);
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
}

TEST(ControlNotifications, ComboReportsCloseUpAfterTheSelectionAndKillFocus) {
    ModalDeadline deadline;
    CDialog dlg(TestTemplate());
    std::vector<std::pair<UINT, LRESULT>> seen;
    dlg.MapNotify(1022, CBN_CLOSEUP,
                  [&] { seen.emplace_back(CBN_CLOSEUP, dlg.SendDlgItemMessage(1022, CB_GETCURSEL)); });
    dlg.MapNotify(1022, CBN_KILLFOCUS, [&] { seen.emplace_back(CBN_KILLFOCUS, 0); });
    WhenModal([&](TestWindow window) {
#ifdef _WIN32
        HWND combo = ::GetDlgItem(window, 1022);
        for (const wchar_t* port : {L"COM1", L"COM3"})
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
        // The keyboard's way through a drop-down list: F4 opens it, Down moves, Enter takes and closes.
        FocusControl(window, 1022);
        PressKey(window, 1022, Key::F4);
        ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }));
        PressKey(window, 1022, Key::Down);
        PressKey(window, 1022, Key::Down);
        PressKey(window, 1022, Key::Return);
        ASSERT_TRUE(WaitUntil([&] { return !seen.empty(); }));
        FocusControl(window, 1005);
#else
        auto* combo = Control<QComboBox>(window, 1022);
        combo->addItems({QStringLiteral("COM1"), QStringLiteral("COM3")});
        combo->setFocus();
        combo->showPopup();
        ASSERT_TRUE(WaitUntil([&] { return combo->view()->isVisible(); }));
        QTest::keyClick(combo->view(), Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return !seen.empty(); }));
        Control<QWidget>(window, 1005)->setFocus();
#endif
        ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 2; }));
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::pair<UINT, LRESULT>{CBN_CLOSEUP, 1}));
    EXPECT_EQ(seen[1].first, CBN_KILLFOCUS);
}

// The texts the programs put into controls at run time: results and directions in their edits, the
// connect button's two labels, and the longest texts a tool can send (19, 20, 14 and 22 characters, the
// limits of the record, in the widest capital and as a realistic model, serial and version) and the largest
// counters.
const std::vector<ShownText> kShownTexts = {
    {IDD_QUARVEL_DIALOG,
     IDC_RESULT,
     {IDS_RESULT_SUCCESS, IDS_RESULT_BREAKUP, IDS_RESULT_BARRIER, IDS_RESULT_WORKING_RANGE}},
    {IDD_QUARVEL_DIALOG, IDC_DIRECTION, {IDS_DIRECTION_FORWARD, IDS_DIRECTION_BACKWARD}},
    {IDD_QUARVEL_DIALOG, IDC_CONNECT, {IDS_CONNECT, IDS_DISCONNECT}},
    {IDD_QUARVEL_DIALOG, IDC_TOOL_MODEL, {}, {CString(19, u'W'), u"RK-9 CRIMP 16MM2 HD"}},
    {IDD_QUARVEL_DIALOG, IDC_TOOL_SERIAL, {}, {CString(20, u'W'), u"T-417-2026-12-000981"}},
    {IDD_QUARVEL_DIALOG, IDC_CONTROLLER_SERIAL, {}, {CString(14, u'W'), u"C-981-2026-001"}},
    {IDD_QUARVEL_DIALOG, IDC_FIRMWARE_VERSION, {}, {CString(22, u'W'), u"1.04.2026-12-10 BUILD7"}},
    {IDD_QUARVEL_DIALOG, IDC_TOTAL_COUNTER, {}, {u"4294967295"}},
    {IDD_QUARVEL_DIALOG, IDC_CYCLE_COUNTER, {}, {u"4294967295"}},
};

std::string Describe(const std::vector<UnfitText>& unfit) {
    std::string out;
    for (const UnfitText& u : unfit) {
        out += "  dialog " + std::to_string(u.dialogId) + " control " + std::to_string(u.controlId) + " (#" +
               std::to_string(u.position) + ") \"" + Utf16ToUtf8(u.text) +
               "\": " + std::to_string(u.widthPx) + " px in " + std::to_string(u.roomPx) + " px\n";
    }
    return out;
}

TEST(TextFit, EveryTextOfEveryModuleFitsItsControl) {
    {
        const std::vector<UnfitText> unfit = FindUnfitTexts(CResourceModule::BuiltIn(), kShownTexts);
        EXPECT_TRUE(unfit.empty()) << "en:\n" << Describe(unfit);
    }
    for (const char* lang : {"fr", "it", "bg"}) {
        std::string why;
        const std::string path = SourcePath(std::string("resources/lang/") + lang + ".json");
        const auto pack = CResourceModule::LoadFile(path, &why, QuarvelResourceRequirements());
        ASSERT_NE(pack, nullptr) << why;
        const std::vector<UnfitText> unfit = FindUnfitTexts(*pack, kShownTexts);
        EXPECT_TRUE(unfit.empty()) << lang << ":\n" << Describe(unfit);
    }
}

TEST(TextFit, TooLongTextsAreFoundWithTheirControls) {
    const std::string wide(40, 'W');
    nlohmann::json module = nlohmann::json::parse(ReadWholeFile(SourcePath("resources/builtin.json")));
    auto& controls = module["dialogs"]["7000"]["controls"];
    controls[3]["text"] = wide;  // the "Speed" label
    controls[1]["text"] = "Cancel " + wide;
    module["strings"]["124"] = wide;  // the direction "Forward"
    std::string why;
    const auto changed = CResourceModule::Parse(module.dump(), &why, QuarvelResourceRequirements());
    ASSERT_NE(changed, nullptr) << why;
    const std::vector<UnfitText> unfit = FindUnfitTexts(*changed, kShownTexts);
    ASSERT_EQ(unfit.size(), 3u) << Describe(unfit);
    EXPECT_EQ(std::make_pair(unfit[0].dialogId, unfit[0].controlId),
              std::make_pair(IDD_QUARVEL_DIALOG, IDC_DIRECTION));
    EXPECT_EQ(unfit[0].text, CString(wide.begin(), wide.end()));
    EXPECT_EQ(std::make_pair(unfit[1].dialogId, unfit[1].controlId), std::make_pair(IDD_SELCOM, IDCANCEL));
    EXPECT_EQ(std::make_pair(unfit[2].controlId, unfit[2].position), std::make_pair(-1, std::size_t{3}));
    for (const UnfitText& u : unfit) EXPECT_GT(u.widthPx, u.roomPx);
}

#ifndef _WIN32
TEST(Icons, IconOfTheModuleLoadsWithItsSizes) {
    HICON icon = AfxLoadIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->availableSizes().isEmpty());
    EXPECT_EQ(AfxLoadIcon(IDR_MAINFRAME), icon);  // the same handle every time
    EXPECT_EQ(AfxLoadIcon(4999), nullptr);
}

#endif

TEST(Application, NameIsTheExecutableWithoutExtension) {
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetApp()->m_pszAppName, u"framework_tests");
}

}  // namespace
