#pragma once
// CWnd: a window of the framework — a dialog or one of its controls — over a Qt widget, or on the
// Win32 backend over a real window. UI thread only. A control's CWnd is owned by its dialog and lives
// as long as the dialog's window.
#include "framework/afx_defs.h"
#include "platform/win_types.h"

#ifdef _WIN32
struct HWND__;
using HWND = HWND__*;  // the type <windows.h> gives it
#else
class QWidget;
using HWND = QWidget*;
#endif

class CWnd {
public:
    CWnd() = default;
    CWnd(HWND widget, int id) : m_hWnd(widget), m_nID(id) {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    // The widget, or null while the window does not exist.
    HWND GetSafeHwnd() const { return m_hWnd; }
    int GetDlgCtrlID() const { return m_nID; }

    // SW_HIDE, SW_SHOW, SW_SHOWNORMAL, SW_RESTORE, SW_MINIMIZE / SW_SHOWMINIMIZED. Returns whether
    // the window was visible before.
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    BOOL EnableWindow(BOOL bEnable);
    // Shows the control's text in the system's grey for disabled text while it stays enabled (it still
    // takes the focus and the keys): for values that are not current. Whether it is now.
    void ShowDimmed(BOOL bDimmed);
    BOOL IsDimmed() const;
    // The text shown when the pointer rests on the control; empty removes it.
    void SetToolTipText(const CString& text);
    CString GetToolTipText() const;
    // Gives the keyboard focus to this window (to the window's focus widget once it is shown).
    void SetFocus();

    // The caption of a dialog, the text of an edit, label, button or group box.
    void SetWindowText(const CString& text);
    CString GetWindowText() const;

    // The control messages of afx_defs.h (CB_*, LB_*, EM_*, BM_*). Strings travel as pointers to
    // NUL-terminated UTF-16 text in lParam; LB_GETTEXT and CB_GETLBTEXT copy into a caller buffer of
    // at least LB_GETTEXTLEN + 1 units. Unknown messages return 0.
    virtual LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    HWND m_hWnd = nullptr;

protected:
    int m_nID = -1;
};
