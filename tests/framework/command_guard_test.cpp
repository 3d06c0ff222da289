// A file exception that leaves a command handler: the stop box with the file-error text, and the
// dialog stays open.
#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/afx.h"
#include "framework/modal_helpers.h"
#include "platform/files/file.h"

namespace {

DialogTemplate SaveTemplate() {
    DialogTemplate t;
    t.id = 9004;
    t.caption = u"Save";
    t.cx = 120;
    t.cy = 40;
    t.styles = {"caption", "sysmenu"};
    t.controls = {{1006, "button", u"Save", 10, 10, 50, 14, {"tabstop"}}};
    return t;
}

TEST(CommandGuard, FileExceptionShowsTheStopBoxAndTheDialogStays) {
    ModalDeadline deadline;
    MessageBoxRecorder boxes;
    CDialog dlg(SaveTemplate());
    int saves = 0;
    dlg.MapCommand(1006, [&] {
        ++saves;
        throw CFileException(CFileException::diskFull, 28, u"/media/full/report.txt");
    });
    bool openAfter = false;
    WhenModal([&](TestWindow window) {
        Click(window, 1006);
        openAfter = !dlg.IsEnded() && IsWindowShown(window);
        Click(window, 1006);  // still works
        dlg.EndDialog(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(saves, 2);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, u"Disk full while accessing /media/full/report.txt.");
    EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(boxes.boxes[0].caption, AfxGetApp()->m_pszAppName);
}

TEST(CommandGuard, EachCauseHasItsText) {
    EXPECT_EQ(AfxFileExceptionText(CFileException(CFileException::accessDenied, 13, u"/x")),
              u"Access to /x was denied.");
    EXPECT_EQ(AfxFileExceptionText(CFileException(CFileException::hardIO, 5, u"/x")),
              u"An unknown error occurred while accessing /x.");
}

TEST(CommandGuard, OtherExceptionsStopAtTheGuardToo) {
    MessageBoxRecorder boxes;
    AfxRunGuarded([] { throw std::runtime_error("boom"); });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, u"An unexpected error occurred.");
    EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONSTOP);
}

}  // namespace
