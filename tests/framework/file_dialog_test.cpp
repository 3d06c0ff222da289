// The Save-As dialog: filter syntax, default extension, extension as typed, answered by a test; on
// Win32 the system's own dialog, driven through its controls.
#include <gtest/gtest.h>

#include "framework/afx.h"
#include "framework/modal_helpers.h"

#ifdef _WIN32
#include <dlgs.h>

#include "framework/win32_window.h"
#include "support/temp_dir.h"
#else
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

#include "framework/qt_string.h"
#include "support/temp_config_home.h"
#endif

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

#ifdef _WIN32
constexpr const char16_t* kTypedPath = u"C:\\out\\Report.TXT";
#else
constexpr const char16_t* kTypedPath = u"/tmp/out/Report.TXT";
#endif

TEST(FileDialog, AnsweredNameGivesPathAndExtensionAsTyped) {
    AnswerScope answer{CString(kTypedPath)};
    CFileDialog dlg(FALSE, u"txt", u"*.txt", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), kTypedPath);
    EXPECT_EQ(dlg.GetFileName(), u"Report.TXT");
    EXPECT_EQ(dlg.GetFileExt(), u"TXT");
    EXPECT_TRUE(answer.request.save);
    EXPECT_EQ(answer.request.initialName, u"*.txt");
    EXPECT_EQ(answer.request.defaultExtension, u"txt");
    EXPECT_EQ(answer.request.flags, 6u);
    EXPECT_EQ(answer.request.filters.size(), 2u);
}

TEST(FileDialog, CancelGivesIdcancel) {
    AnswerScope answer(std::nullopt);
    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.GetPathName().empty());
}

#ifdef _WIN32
CString Utf16(const std::string& path) { return CString(path.begin(), path.end()); }

TEST(FileDialog, OpensInTheGivenFolderElseInTheDocumentsFolder) {
    wchar_t documents[MAX_PATH] = {};
    ASSERT_TRUE(
        SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)));
    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    dlg.m_strInitialDir = u"C:\\no\\such\\folder";
    EXPECT_EQ(dlg.InitialFolder(), FromWide(documents));
    TempDir dir;
    dlg.m_strInitialDir = Utf16(dir.Path());
    AnswerScope answer(CString(u"r"));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(answer.request.folder, dlg.m_strInitialDir);
    EXPECT_EQ(dlg.GetPathName(), dlg.m_strInitialDir + u"\\r.txt");
}

// The file name field of the system's Save-As dialog: the edit of its (extended) combo box, or the plain
// edit.
HWND FileNameEdit(HWND dialog) {
    HWND combo = ::GetDlgItem(dialog, cmb13);
    if (combo == nullptr) return ::GetDlgItem(dialog, edt1);
    if (HWND edit = reinterpret_cast<HWND>(::SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0))) return edit;
    return ::FindWindowExW(combo, nullptr, L"Edit", nullptr);
}

TEST(FileDialog, TheSystemsSaveAsDialogShowsTheFiltersAndTakesTheTypedName) {
    ModalDeadline deadline;
    TempDir dir;
    const CString typed = Utf16(dir.Path()) + u"\\data";
    std::vector<CString> shownFilters;
    CString shownName;
    WhenModal([&](TestWindow dialog) {
        ASSERT_NE(dialog, nullptr);
        shownFilters = ListItems(dialog, cmb1);
        HWND name = FileNameEdit(dialog);
        ASSERT_NE(name, nullptr);
        wchar_t text[MAX_PATH] = {};
        ::GetWindowTextW(name, text, MAX_PATH);
        shownName = FromWide(text);
        ::SetWindowTextW(name, Wide(typed));
        Click(dialog, IDOK);
    });
    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), typed + u".txt");
    EXPECT_EQ(shownName, u"*.txt");
    EXPECT_EQ(shownFilters,
              (std::vector<CString>{u"Text Files (*.txt)", u"MS Excel Comma Separated Values (*.csv)"}));
}

TEST(FileDialog, CancelInTheSystemsDialogGivesIdcancel) {
    ModalDeadline deadline;
    WhenModal([&](TestWindow dialog) { PressKey(dialog, IDCANCEL, Key::Escape); });
    CFileDialog dlg(FALSE, u"txt", u"*.txt", 6, kFilter);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(dlg.GetPathName().empty());
}
#else
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
#endif

}  // namespace
