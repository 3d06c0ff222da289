// Message boxes: icons by type, the application's name as caption, the answers, a real nested loop.
#include <gtest/gtest.h>

#include "framework/afx.h"
#include "framework/modal_helpers.h"

#ifdef _WIN32
#include "framework/win32_window.h"
#else
#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#endif

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

#ifdef _WIN32
// The system's own box: no answerer, the box found in its own loop, read and answered by its buttons.
struct ShownBox {
    CString caption, text, yes, no;
    bool questionIcon = false;
};

ShownBox ShowAndAnswer(const CString& text, UINT type, int button, int* result) {
    ShownBox shown;
    SetMessageBoxAnswerer(nullptr);
    ModalDeadline deadline;
    WhenModal([&](TestWindow box) {
        ASSERT_NE(box, nullptr);
        shown.caption = WindowCaption(box);
        shown.text = ControlText(box, 0xFFFF);  // the message's static control
        shown.yes = ControlText(box, IDYES);
        shown.no = ControlText(box, IDNO);
        HICON question = ::LoadIconW(nullptr, IDI_QUESTION);
        for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) == question)
                shown.questionIcon = true;
        }
        Click(box, button);
    });
    *result = AfxMessageBox(text, type);
    InstallFailingMessageBoxAnswerer();
    return shown;
}

TEST(MessageBox, TheSystemsBoxShowsTheTextCaptionIconAndReturnsTheButtonPressed) {
    int result = 0;
    const ShownBox shown = ShowAndAnswer(u"Are you sure?", MB_YESNO, IDNO, &result);
    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(shown.text, u"Are you sure?");
    EXPECT_EQ(shown.caption, AfxGetApp()->m_pszAppName);
    EXPECT_EQ(shown.yes, u"Yes");
    EXPECT_EQ(shown.no, u"No");
    EXPECT_TRUE(shown.questionIcon);
    EXPECT_FALSE(ShowAndAnswer(LoadStringW(IDS_NO_PORTS), MB_OK, IDOK, &result).questionIcon);
    EXPECT_EQ(result, IDOK);
}

TEST(WaitCursor, BeginAndEndNest) {
    HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
    BeginWaitCursor();
    {
        CWaitCursor inner;
        EXPECT_EQ(::GetCursor(), wait);
    }
    EXPECT_EQ(::GetCursor(), wait);
    EndWaitCursor();
    EXPECT_NE(::GetCursor(), wait);
    EndWaitCursor();  // unpaired: harmless
}
#else
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

// The buttons' texts of the Yes/No box that is open while the answerer runs.
std::pair<QString, QString> YesNoButtonTexts() {
    std::pair<QString, QString> texts;
    MessageBoxRecorder boxes([&](const MessageBoxRequest&) {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts = {box->button(QMessageBox::Yes)->text(), box->button(QMessageBox::No)->text()};
        }
        return IDNO;
    });
    AfxMessageBox(u"Continuer ?", MB_YESNO);
    return texts;
}

TEST(MessageBox, ButtonsReadInTheLanguageOfQtsInstalledTranslation) {
    const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_fr.qm");
    if (!QFileInfo::exists(file)) {
        GTEST_SKIP() << "Qt's French translations are not installed (" << file.toStdString()
                     << "; Debian package qt6-translations-l10n)";
    }
    ASSERT_TRUE(AfxLoadQtTranslations("fr"));
    const auto french = YesNoButtonTexts();
    EXPECT_EQ(french.first, QStringLiteral("&Oui"));
    EXPECT_EQ(french.second, QStringLiteral("&Non"));
    // English installs nothing and removes the French one; so does a tag that names no file.
    EXPECT_FALSE(AfxLoadQtTranslations("en"));
    EXPECT_EQ(YesNoButtonTexts().first, QStringLiteral("&Yes"));
    EXPECT_FALSE(AfxLoadQtTranslations("xx"));
    EXPECT_FALSE(AfxLoadQtTranslations("../fr"));
    EXPECT_EQ(YesNoButtonTexts().second, QStringLiteral("&No"));
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
#endif

}  // namespace
