// CWnd on the Win32 backend: every call is the window's own.
#include "framework/wnd.h"

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
