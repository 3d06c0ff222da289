// CWnd on the Win32 backend: every call is the window's own.
#include "framework/wnd.h"

#include <map>

#include "framework/win32_window.h"

BOOL CWnd::ShowWindow(int nCmdShow) {
    return m_hWnd != nullptr && ::ShowWindow(m_hWnd, nCmdShow) ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const { return m_hWnd != nullptr && ::IsWindowVisible(m_hWnd) ? TRUE : FALSE; }

BOOL CWnd::IsIconic() const { return m_hWnd != nullptr && ::IsIconic(m_hWnd) ? TRUE : FALSE; }

BOOL CWnd::EnableWindow(BOOL bEnable) {
    // Like Windows: TRUE when the window was disabled before.
    return m_hWnd != nullptr && ::EnableWindow(m_hWnd, bEnable) ? TRUE : FALSE;
}

namespace {
// The mark a dimmed control carries; the dialog procedure colours its text (WM_CTLCOLOR*).
constexpr const wchar_t* kDimmedProperty = L"QuarvelDimmed";
}  // namespace

void CWnd::ShowDimmed(BOOL bDimmed) {
    if (m_hWnd == nullptr) return;
    if (bDimmed) {
        ::SetPropW(m_hWnd, kDimmedProperty, reinterpret_cast<HANDLE>(1));
    } else {
        ::RemovePropW(m_hWnd, kDimmedProperty);
    }
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

BOOL CWnd::IsDimmed() const { return m_hWnd != nullptr && ::GetPropW(m_hWnd, kDimmedProperty) != nullptr; }

namespace {
constexpr const wchar_t* kToolTipProperty = L"QuarvelToolTip";  // the control's tooltip window
// The texts the tooltips show, by control: the tooltip keeps a pointer to its text, not a copy.
std::map<HWND, CString>& ToolTipTexts() {
    static std::map<HWND, CString> texts;
    return texts;
}
}  // namespace

void CWnd::SetToolTipText(const CString& text) {
    if (m_hWnd == nullptr) return;
    HWND tip = static_cast<HWND>(::GetPropW(m_hWnd, kToolTipProperty));
    if (tip == nullptr && !text.empty()) {
        tip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                ::GetParent(m_hWnd), nullptr, nullptr, nullptr);
        if (tip == nullptr) return;
        ::SetPropW(m_hWnd, kToolTipProperty, tip);
        ::SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, 480);  // long texts wrap
    }
    if (tip == nullptr) return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = ::GetParent(m_hWnd);
    info.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ::SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    CString& kept = ToolTipTexts()[m_hWnd];
    kept = text;
    if (text.empty()) return;
    info.lpszText = const_cast<wchar_t*>(Wide(kept));
    ::SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

CString CWnd::GetToolTipText() const {
    const auto found = ToolTipTexts().find(m_hWnd);
    return m_hWnd != nullptr && found != ToolTipTexts().end() ? found->second : CString();
}

void CWnd::SetFocus() {
    if (m_hWnd == nullptr) return;
    // Inside a dialog the dialog manager moves the focus, so the default button follows it.
    HWND parent = ::GetParent(m_hWnd);
    if (parent != nullptr && (::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD) != 0) {
        ::SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hWnd), TRUE);
    } else {
        ::SetFocus(m_hWnd);
    }
}

void CWnd::SetWindowText(const CString& text) {
    if (m_hWnd != nullptr) ::SetWindowTextW(m_hWnd, Wide(text));
}

CString CWnd::GetWindowText() const {
    if (m_hWnd == nullptr) return {};
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) return {};
    CString text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(m_hWnd, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd != nullptr ? ::SendMessageW(m_hWnd, message, wParam, lParam) : 0;
}
