// The Save-As dialog: filter syntax, default extension, extension as typed, answered by a test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

#include "framework/afx.h"
#include "framework/modal_helpers.h"
#include "framework/qt_string.h"
#include "support/temp_config_home.h"

namespace {

constexpr const char16_t* kFilter =
    u"Text Files (*.txt)|*.txt|MS Excel Comma Separated Values (*.csv)|*.csv|";

class AnswerScope {
public:
    explicit AnswerScope(std::optional<CString> answer) {
        SetFileDialogAnswerer([this, answer](const FileDialogRequest& r) {
            request = r;
            return answer;
        });
    }
    ~AnswerScope() { SetFileDialogAnswerer(nullptr); }
    FileDialogRequest request;
};

TEST(FileDialog, FilterSyntaxBecomesNameFilters) {
    EXPECT_EQ(CFileDialog::ParseFilter(kFilter),
              (std::vector<CString>{u"Text Files (*.txt)", u"MS Excel Comma Separated Values (*.csv)"}));
    EXPECT_EQ(CFileDialog::ParseFilter(u"Reports|*.txt;*.csv|All|*.*"),
              (std::vector<CString>{u"Reports (*.txt *.csv)", u"All (*.*)"}));
    EXPECT_TRUE(CFileDialog::ParseFilter(u"dangling|").empty());
}

TEST(FileDialog, DefaultExtensionIsAddedOnlyToANameWithoutOne) {
    EXPECT_EQ(CFileDialog::ApplyDefaultExtension(u"/tmp/report", u"txt"), u"/tmp/report.txt");
    EXPECT_EQ(CFileDialog::ApplyDefaultExtension(u"/tmp/report.csv", u"txt"), u"/tmp/report.csv");
    EXPECT_EQ(CFileDialog::ApplyDefaultExtension(u"/tmp/v1.2/report", u"txt"), u"/tmp/v1.2/report.txt");
    EXPECT_EQ(CFileDialog::ApplyDefaultExtension(u"/tmp/report", u""), u"/tmp/report");
}

TEST(FileDialog, AnsweredNameGivesPathAndExtensionAsTyped) {
    AnswerScope answer(CString(u"/tmp/out/Report.TXT"));
    CFileDialog dlg(FALSE, u"txt", u"*.txt", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), u"/tmp/out/Report.TXT");
    EXPECT_EQ(dlg.GetFileName(), u"Report.TXT");
    EXPECT_EQ(dlg.GetFileExt(), u"TXT");
    EXPECT_TRUE(answer.request.save);
    EXPECT_EQ(answer.request.initialName, u"*.txt");
    EXPECT_EQ(answer.request.defaultExtension, u"txt");
    EXPECT_EQ(answer.request.flags, 6u);
    EXPECT_EQ(answer.request.filters.size(), 2u);
}

TEST(FileDialog, OpensInTheGivenFolderElseInTheDocumentsFolderElseAtHome) {
    TempConfigHome config;  // its user-dirs.dirs names the documents folder
    const QString documents = QString::fromStdString(config.Path()) + QStringLiteral("/Docs");
    QFile dirs(QString::fromStdString(config.Path()) + QStringLiteral("/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n");
    dirs.close();

    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    dlg.m_strInitialDir = u"/no/such/folder";
    EXPECT_EQ(ToQString(dlg.InitialFolder()), QDir::homePath());  // no documents folder yet
    ASSERT_TRUE(QDir().mkpath(documents));
    EXPECT_EQ(ToQString(dlg.InitialFolder()), documents);
    dlg.m_strInitialDir = ToCString(QString::fromStdString(config.Path()));
    AnswerScope answer(CString(u"r"));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(answer.request.folder, dlg.m_strInitialDir);
    EXPECT_EQ(ToQString(dlg.GetPathName()), QString::fromStdString(config.Path()) + QStringLiteral("/r.txt"));
}

TEST(FileDialog, CancelGivesIdcancel) {
    AnswerScope answer(std::nullopt);
    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.GetPathName().empty());
}

TEST(FileDialog, TheRealDialogIsNonNativeAndCanBeDriven) {
    ModalDeadline deadline;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString typed = dir.filePath(QStringLiteral("data"));
    QStringList shownFilters;
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        shownFilters = dialog->nameFilters();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), QStringLiteral("*.txt"));
        name->setText(typed);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(ToQString(dlg.GetPathName()), typed + QStringLiteral(".txt"));
    EXPECT_EQ(shownFilters.size(), 2);
}

}  // namespace
