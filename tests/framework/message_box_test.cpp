// Message boxes: icons by type, the application's name as caption, the answers, a real nested loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "framework/afx.h"
#include "framework/modal_helpers.h"

namespace {

TEST(MessageBox, OkBoxGetsTheExclamationIconAndTheAppNameAsCaption) {
    MessageBoxRecorder boxes(IDOK);
    EXPECT_EQ(AfxMessageBox(IDS_NO_PORTS, MB_OK), IDOK);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, AfxGetApp()->m_pszAppName);
    EXPECT_EQ(boxes.boxes[0].text,
              u"There is no any communication ports available. Did you connect the tool? Check the cable.");
    EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
}

TEST(MessageBox, YesNoBoxGetsTheQuestionIconAndReturnsTheAnswer) {
    {
        MessageBoxRecorder boxes(IDYES);
        EXPECT_EQ(AfxMessageBox(IDS_CONFIRM_DISCONNECT, MB_YESNO), IDYES);
        EXPECT_EQ(boxes.boxes.at(0).type, MB_YESNO | MB_ICONQUESTION);
    }
    MessageBoxRecorder boxes(IDNO);
    EXPECT_EQ(AfxMessageBox(IDS_CONFIRM_DISCONNECT, MB_YESNO), IDNO);
}

TEST(MessageBox, AnExplicitIconIsKept) {
    MessageBoxRecorder boxes;
    AfxMessageBox(u"stop", MB_OK | MB_ICONSTOP);
    EXPECT_EQ(boxes.boxes.at(0).type, MB_OK | MB_ICONSTOP);
}

TEST(MessageBox, TheBoxIsReallyOpenWhileTheAnswererRuns) {
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    MessageBoxRecorder boxes([&](const MessageBoxRequest&) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            shownText = box->text();
            shownIcon = box->icon();
        }
        return IDNO;
    });
    EXPECT_EQ(AfxMessageBox(u"Are you sure?", MB_YESNO), IDNO);
    EXPECT_EQ(shownText, QStringLiteral("Are you sure?"));
    EXPECT_EQ(shownIcon, QMessageBox::Question);
}

TEST(WaitCursor, BeginAndEndNest) {
    BeginWaitCursor();
    {
        CWaitCursor inner;
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EndWaitCursor();  // unpaired: harmless
}

}  // namespace
