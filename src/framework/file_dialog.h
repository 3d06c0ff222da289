#pragma once
// CFileDialog: the Save-As (or Open) dialog over Qt's own (non-native) file dialog. UI thread only;
// a local object of the command that asks for a file.
#include <functional>
#include <optional>
#include <vector>

#include "framework/afx_defs.h"
#include "platform/win_types.h"

class CWnd;

class CFileDialog {
public:
    // lpszFilter in the framework's syntax: "name|pattern|name|pattern|" (patterns separated by ';').
    // lpszDefExt (without dot) is added to a name chosen without an extension. lpszFileName is the
    // initial name (it may be a pattern such as "*.txt"). OFN_OVERWRITEPROMPT asks before an existing
    // file is chosen in a Save-As dialog.
    CFileDialog(BOOL bOpenFileDialog, const char16_t* lpszDefExt = nullptr,
                const char16_t* lpszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char16_t* lpszFilter = nullptr,
                CWnd* pParentWnd = nullptr);

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    CString GetPathName() const { return m_path; }
    CString GetFileName() const;
    // The absolute folder of the chosen file.
    CString GetFolderPath() const;
    // The chosen name's extension without the dot, exactly as typed; empty when it has none.
    CString GetFileExt() const;

    // The folder the dialog opens in: m_strInitialDir when that is an existing folder, otherwise the
    // user's documents folder (QStandardPaths::DocumentsLocation, from the XDG user dirs) when it
    // exists, otherwise the home folder.
    CString InitialFolder() const;

    // The filter as Qt name filters ("Text Files (*.txt)"), in order.
    static std::vector<CString> ParseFilter(const CString& filter);
    // `name` with ".defExt" added when its file name has no extension.
    static CString ApplyDefaultExtension(const CString& name, const CString& defExt);

    BOOL m_bOpenFileDialog;
    DWORD m_dwFlags;
    CString m_strDefExt;
    CString m_strFileName;
    CString m_strFilter;
    CString m_strInitialDir;  // the folder to open in; empty for the default (see InitialFolder)

private:
    CWnd* m_pParentWnd;
    CString m_path;
};

// Test seam: when set, DoModal asks the answerer instead of showing a dialog. It returns the name the
// user would have typed (relative names are taken from the folder the dialog opened in) or nothing
// to cancel.
struct FileDialogRequest {
    bool save = true;
    CString folder;  // the folder the dialog opened in
    CString defaultExtension;
    CString initialName;
    std::vector<CString> filters;
    DWORD flags = 0;
};
using FileDialogAnswerer = std::function<std::optional<CString>(const FileDialogRequest&)>;
void SetFileDialogAnswerer(FileDialogAnswerer answerer);
