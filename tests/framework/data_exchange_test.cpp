// Data exchange both ways: formats, parsing what a user types, the range check and where it stops.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/afx.h"
#include "framework/modal_helpers.h"

namespace {

DialogTemplate ExchangeTemplate() {
    DialogTemplate t;
    t.id = 9001;
    t.caption = u"Exchange";
    t.cx = 200;
    t.cy = 80;
    t.fontName = u"MS Shell Dlg";
    t.styles = {"caption", "sysmenu"};
    for (int id : {1005, 1015, 1003})
        t.controls.push_back({id, "edit", u"", 10, 10 + (id % 7) * 12, 80, 12, {"tabstop", "border"}});
    t.controls.push_back({1022, "combobox", u"", 100, 10, 60, 50, {"tabstop"}});
    return t;
}

class ExchangeDialog : public CDialog {
public:
    ExchangeDialog() : CDialog(ExchangeTemplate()) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, 1005, counter);
        DDV_MinMaxUInt(pDX, counter, 0, 18001);
        DDX_Text(pDX, 1015, position);
        DDX_Text(pDX, 1003, serial);
        DDV_MaxChars(pDX, serial, 14);
        DDX_CBIndex(pDX, 1022, portPosition);
    }
    UINT counter = 0;
    double position = 0;
    CString serial;
    int portPosition = 0;
};

void Type(TestWindow window, int id, const char* text) {
    TypeText(window, id, CString(text, text + std::strlen(text)));
}

// Runs `body` inside a shown ExchangeDialog.
void WithDialog(ExchangeDialog& dlg, const std::function<void(TestWindow)>& body) {
    ModalDeadline deadline;
    WhenModal([&](TestWindow window) {
        body(window);
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
}

TEST(DataExchange, DisplayFormatsUnsignedDoubleTextAndComboIndex) {
    ExchangeDialog dlg;
    dlg.counter = 4294967295u;
    dlg.position = 10.86;
    dlg.serial = u"C-981";
    WithDialog(dlg, [&](TestWindow window) {
        dlg.SendDlgItemMessage(1022, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM1"));
        dlg.SendDlgItemMessage(1022, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM3"));
        dlg.portPosition = 1;
        ASSERT_TRUE(dlg.UpdateData(FALSE));
        EXPECT_EQ(ControlText(window, 1005), u"4294967295");
        EXPECT_EQ(ControlText(window, 1015), u"10.86");
        EXPECT_EQ(ControlText(window, 1003), u"C-981");
        EXPECT_EQ(dlg.SendDlgItemMessage(1022, CB_GETCURSEL), 1);
        dlg.position = 0.1 + 0.2;  // 15 significant digits hide the binary noise
        dlg.UpdateData(FALSE);
        EXPECT_EQ(ControlText(window, 1015), u"0.3");
        dlg.position = 711.65;
        dlg.UpdateData(FALSE);
        EXPECT_EQ(ControlText(window, 1015), u"711.65");
        dlg.position = 1e20;
        dlg.UpdateData(FALSE);
        EXPECT_EQ(ControlText(window, 1015), u"1e+20");
    });
}

TEST(DataExchange, ReadingBackAcceptsWhatAUserTypes) {
    ExchangeDialog dlg;
    WithDialog(dlg, [&](TestWindow window) {
        Type(window, 1005, "  42 ");
        Type(window, 1015, "1.5e3");
        Type(window, 1003, "T-417");
        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.counter, 42u);
        EXPECT_DOUBLE_EQ(dlg.position, 1500.0);
        EXPECT_EQ(dlg.serial, u"T-417");
        EXPECT_EQ(dlg.portPosition, -1);  // an empty list has no selection
        Type(window, 1005, "+18001");
        Type(window, 1015, "-0.25");
        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.counter, 18001u);
        EXPECT_DOUBLE_EQ(dlg.position, -0.25);
    });
}

TEST(DataExchange, OutOfRangeShowsTheRangeMessageFocusesAndStopsThere) {
    MessageBoxRecorder boxes;
    ExchangeDialog dlg;
    dlg.position = 7;
    dlg.serial = u"old";
    WithDialog(dlg, [&](TestWindow window) {
        Type(window, 1005, "18002");
        Type(window, 1015, "99");
        Type(window, 1003, "new");
        FocusControl(window, 1003);
        EXPECT_FALSE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.counter, 18002u);  // read, then refused by the check
        EXPECT_EQ(dlg.position, 7);      // later controls are not read
        EXPECT_EQ(dlg.serial, u"old");
        EXPECT_EQ(FocusedControl(window), 1005);
    });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"Enter an integer between 0 and 18001.");
    EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
}

TEST(DataExchange, NonNumbersBringTheNumberMessages) {
    MessageBoxRecorder boxes;
    ExchangeDialog dlg;
    WithDialog(dlg, [&](TestWindow window) {
        for (const char* bad : {"12abc", "-5", "4294967296", "", "1,5"}) {
            Type(window, 1005, bad);
            EXPECT_FALSE(dlg.UpdateData(TRUE)) << bad;
        }
        Type(window, 1005, "1");
        for (const char* bad : {"abc", "1.2.3", "2,5"}) {
            Type(window, 1015, bad);
            EXPECT_FALSE(dlg.UpdateData(TRUE)) << bad;
            EXPECT_EQ(FocusedControl(window), 1015);
        }
    });
    ASSERT_EQ(boxes.boxes.size(), 8u);
    EXPECT_EQ(boxes.boxes[0].text, u"Please enter an integer.");
    EXPECT_EQ(boxes.boxes[7].text, u"Please enter a number.");
}

TEST(DataExchange, MaxCharsLimitsTheEdit) {
    ExchangeDialog dlg;
    WithDialog(dlg, [&](TestWindow window) {
        dlg.UpdateData(FALSE);
        EXPECT_EQ(EditLimit(window, 1003), 14);
        Type(window, 1003, "123456789012345678");
        dlg.UpdateData(TRUE);
        EXPECT_EQ(dlg.serial, u"12345678901234");
    });
}

}  // namespace
