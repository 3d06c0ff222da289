#include "framework/file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "framework/qt_string.h"
#include "framework/win_app.h"

namespace {

FileDialogAnswerer& Answerer() {
    static FileDialogAnswerer answerer;
    return answerer;
}

QWidget* OwnerOf(CWnd* parent) {
    if (parent != nullptr && parent->GetSafeHwnd() != nullptr) return parent->GetSafeHwnd();
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
}

CString OrEmpty(const char16_t* text) { return text != nullptr ? CString(text) : CString(); }

// The extension of the last path component (after its last dot), or empty.
QString SuffixOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

}  // namespace

void SetFileDialogAnswerer(FileDialogAnswerer answerer) { Answerer() = std::move(answerer); }

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char16_t* lpszDefExt, const char16_t* lpszFileName,
                         DWORD dwFlags, const char16_t* lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog),
      m_dwFlags(dwFlags),
      m_strDefExt(OrEmpty(lpszDefExt)),
      m_strFileName(OrEmpty(lpszFileName)),
      m_strFilter(OrEmpty(lpszFilter)),
      m_pParentWnd(pParentWnd) {}

std::vector<CString> CFileDialog::ParseFilter(const CString& filter) {
    std::vector<CString> parts;
    CString current;
    for (char16_t unit : filter) {
        if (unit == u'|') {
            parts.push_back(current);
            current.clear();
        } else {
            current.push_back(unit);
        }
    }
    if (!current.empty()) parts.push_back(current);

    std::vector<CString> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        QString name = ToQString(parts[i]).trimmed();
        QString patterns = ToQString(parts[i + 1]).replace(u';', u' ').simplified();
        // Qt reads the patterns from the parentheses at the end of the name; a name that already
        // shows them ("Text Files (*.txt)") is kept as it is.
        if (!name.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")"))) {
            name += QStringLiteral(" (") + patterns + QStringLiteral(")");
        }
        filters.push_back(ToCString(name));
    }
    return filters;
}

CString CFileDialog::ApplyDefaultExtension(const CString& name, const CString& defExt) {
    const QString path = ToQString(name);
    if (defExt.empty() || !SuffixOf(path).isEmpty() || QFileInfo(path).fileName().isEmpty()) return name;
    QString withDot = path;
    if (!withDot.endsWith(u'.')) withDot += u'.';
    return ToCString(withDot + ToQString(defExt));
}

CString CFileDialog::GetFolderPath() const { return ToCString(QFileInfo(ToQString(m_path)).absolutePath()); }

CString CFileDialog::InitialFolder() const {
    const QString given = ToQString(m_strInitialDir);
    if (!given.isEmpty() && QFileInfo(given).isDir()) return ToCString(QFileInfo(given).absoluteFilePath());
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return ToCString(documents);
    return ToCString(QDir::homePath());
}

INT_PTR CFileDialog::DoModal() {
    const std::vector<CString> filters = ParseFilter(m_strFilter);
    const QString folder = ToQString(InitialFolder());
    if (FileDialogAnswerer answerer = Answerer()) {
        const FileDialogRequest request{!m_bOpenFileDialog, ToCString(folder), m_strDefExt,
                                        m_strFileName,      filters,           m_dwFlags};
        const std::optional<CString> answer = answerer(request);
        if (!answer || answer->empty()) return IDCANCEL;
        const QString typed = ToQString(ApplyDefaultExtension(*answer, m_strDefExt));
        m_path = ToCString(QFileInfo(QDir(folder), typed).absoluteFilePath());
        return IDOK;
    }

    QFileDialog dialog(OwnerOf(m_pParentWnd));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!(m_dwFlags & OFN_OVERWRITEPROMPT)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList names;
    for (const CString& filter : filters) names.push_back(ToQString(filter));
    if (!names.isEmpty()) dialog.setNameFilters(names);
    dialog.setDefaultSuffix(ToQString(m_strDefExt));
    dialog.setDirectory(folder);
    if (!m_strFileName.empty()) dialog.selectFile(ToQString(m_strFileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return IDCANCEL;
    m_path = ToCString(QFileInfo(dialog.selectedFiles().front()).absoluteFilePath());
    return IDOK;
}

CString CFileDialog::GetFileName() const { return ToCString(QFileInfo(ToQString(m_path)).fileName()); }

CString CFileDialog::GetFileExt() const { return ToCString(SuffixOf(ToQString(m_path))); }
