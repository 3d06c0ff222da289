// CFileDialog on the Win32 backend: the system's Save-As and Open dialogs (GetSaveFileNameW,
// GetOpenFileNameW).
#include "framework/file_dialog.h"

#include "framework/win32_window.h"
#include "framework/wnd.h"

namespace {

FileDialogAnswerer& Answerer() {
    static FileDialogAnswerer answerer;
    return answerer;
}

bool IsFolder(const CString& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

CString FileNameOf(const CString& path) {
    const auto slash = path.find_last_of(u"\\/");
    return slash == CString::npos ? path : path.substr(slash + 1);
}

CString Trimmed(const CString& text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == CString::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

}  // namespace

void SetFileDialogAnswerer(FileDialogAnswerer answerer) { Answerer() = std::move(answerer); }

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char16_t* lpszDefExt, const char16_t* lpszFileName,
                         DWORD dwFlags, const char16_t* lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog),
      m_dwFlags(dwFlags),
      m_strDefExt(lpszDefExt ? lpszDefExt : u""),
      m_strFileName(lpszFileName ? lpszFileName : u""),
      m_strFilter(lpszFilter ? lpszFilter : u""),
      m_pParentWnd(pParentWnd) {}

CString CFileDialog::GetFileName() const { return FileNameOf(m_path); }

CString CFileDialog::GetFileExt() const {
    const CString name = FileNameOf(m_path);
    const auto dot = name.rfind(u'.');
    return dot == CString::npos ? CString() : name.substr(dot + 1);
}

CString CFileDialog::GetFolderPath() const {
    const auto slash = m_path.find_last_of(u"\\/");
    return slash == CString::npos ? CString() : m_path.substr(0, slash == 2 && m_path[1] == u':' ? 3 : slash);
}

CString CFileDialog::InitialFolder() const {
    if (!m_strInitialDir.empty() && IsFolder(m_strInitialDir)) return m_strInitialDir;
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        IsFolder(FromWide(path))) {
        return FromWide(path);
    }
    if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return FromWide(path);
    return {};
}

std::vector<CString> CFileDialog::ParseFilter(const CString& filter) {
    std::vector<CString> parts;
    std::size_t start = 0;
    for (std::size_t bar; (bar = filter.find(u'|', start)) != CString::npos; start = bar + 1) {
        parts.push_back(filter.substr(start, bar - start));
    }
    if (start < filter.size()) parts.push_back(filter.substr(start));  // the last part may lack its bar
    std::vector<CString> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        CString name = Trimmed(parts[i]);
        // "*.txt; *.csv" lists its patterns apart by single spaces.
        CString patterns;
        for (char16_t c : parts[i + 1]) {
            const bool space = c == u';' || c == u' ' || c == u'\t';
            if (!space) {
                patterns.push_back(c);
            } else if (!patterns.empty() && patterns.back() != u' ') {
                patterns.push_back(u' ');
            }
        }
        patterns = Trimmed(patterns);
        if (name.empty() || patterns.empty()) continue;
        const CString suffix = u"(" + patterns + u")";
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            name += u" " + suffix;
        }
        filters.push_back(name);
    }
    return filters;
}

CString CFileDialog::ApplyDefaultExtension(const CString& name, const CString& defExt) {
    const CString file = FileNameOf(name);
    if (defExt.empty() || file.empty() || file.find(u'.') != CString::npos) return name;
    return name + u"." + defExt;
}

INT_PTR CFileDialog::DoModal() {
    const CString folder = InitialFolder();
    if (Answerer()) {
        FileDialogRequest request{!m_bOpenFileDialog,       folder,   m_strDefExt, m_strFileName,
                                  ParseFilter(m_strFilter), m_dwFlags};
        const std::optional<CString> answer = Answerer()(request);
        if (!answer || answer->empty()) return IDCANCEL;
        const CString typed = ApplyDefaultExtension(*answer, m_strDefExt);
        const bool absolute =
            typed.size() > 1 && (typed[1] == u':' || (typed[0] == u'\\' && typed[1] == u'\\'));
        m_path = absolute ? typed : folder + u"\\" + typed;
        return IDOK;
    }
    // The filter in the system's form: the same pairs, each part ended by a NUL, the list by a second.
    CString filter = m_strFilter;
    for (char16_t& c : filter) {
        if (c == u'|') c = u'\0';
    }
    filter.push_back(u'\0');
    std::vector<wchar_t> file(32768, L'\0');
    if (m_strFileName.size() < file.size()) {
        std::copy(m_strFileName.begin(), m_strFileName.end(), file.begin());
    }
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_pParentWnd != nullptr && m_pParentWnd->GetSafeHwnd() != nullptr
                        ? m_pParentWnd->GetSafeHwnd()
                        : ::GetActiveWindow();
    ofn.lpstrFilter = m_strFilter.empty() ? nullptr : Wide(filter);
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : Wide(folder);
    ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : Wide(m_strDefExt);
    ofn.Flags = m_dwFlags | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (m_bOpenFileDialog) ofn.Flags |= OFN_FILEMUSTEXIST;
    const BOOL chosen = m_bOpenFileDialog ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!chosen) return IDCANCEL;
    m_path = FromWide(file.data());
    return IDOK;
}
