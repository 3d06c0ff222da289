#pragma once
// Window-message, control-message, notification and flag codes of the framework, with the values
// the Windows headers give them, so dialog code reads like its Windows counterpart. Constants only;
// any thread. IDOK and IDCANCEL live with the resource ids (platform/resource_ids.h).
#include <cstdint>

#include "ids/resource_ids.h"
#include "platform/win_types.h"

#ifdef _WIN32
// The Win32 backend: the codes are <windows.h>'s own macros. The A/W macros named like the framework's
// methods go, so CWnd::SendMessage stays itself wherever <windows.h> came first.
#ifndef UNICODE
#define UNICODE
#endif
#include "platform/win32_api.h"
#undef SendMessage
#undef GetWindowText
#undef SetWindowText
#undef LoadIcon
#undef GetDlgItemText
#undef SetDlgItemText
#undef SendDlgItemMessage
#endif

using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;

#ifndef _WIN32
// Dialog results and message-box answers.
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Window messages.
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;  // Windows asks whether the session may end
inline constexpr UINT WM_ENDSESSION = 0x0016;       // Windows ends the session (wParam TRUE)
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// WM_SETICON's wParam.
inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;

// System commands (WM_SYSCOMMAND's wParam; the low four bits are the system's own).
inline constexpr UINT SC_MOVE = 0xF010;
inline constexpr UINT SC_MINIMIZE = 0xF020;
inline constexpr UINT SC_CLOSE = 0xF060;

// Edit controls.
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_SETREADONLY = 0x00CF;

// Combo boxes.
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_GETLBTEXTLEN = 0x0149;
inline constexpr UINT CB_INSERTSTRING = 0x014A;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr LRESULT CB_ERR = -1;

// List boxes.
inline constexpr UINT LB_ADDSTRING = 0x0180;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_SETCURSEL = 0x0186;
inline constexpr UINT LB_GETCURSEL = 0x0188;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETTEXTLEN = 0x018A;
inline constexpr UINT LB_GETCOUNT = 0x018B;
inline constexpr LRESULT LB_ERR = -1;

// Buttons (radio buttons).
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;

// Notification codes carried in WM_COMMAND's high word.
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT CBN_SELCHANGE = 1;
inline constexpr UINT CBN_KILLFOCUS = 4;
inline constexpr UINT CBN_CLOSEUP = 8;
inline constexpr UINT LBN_SELCHANGE = 1;
// A list view's notifications (WM_NOTIFY on Windows), routed like commands: a click on a column's header
// (CListCtrl::ClickedColumn says which) and an item activated (double-clicked).
inline constexpr UINT LVN_COLUMNCLICK = static_cast<UINT>(-108);
inline constexpr UINT LVN_ITEMACTIVATE = static_cast<UINT>(-114);

// ShowWindow.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

// Message boxes: buttons (low nibble) and icons (second nibble).
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_OKCANCEL = 0x01;
inline constexpr UINT MB_YESNOCANCEL = 0x03;
inline constexpr UINT MB_YESNO = 0x04;
inline constexpr UINT MB_TYPEMASK = 0x0F;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONSTOP = MB_ICONHAND;
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;

// Menus.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;

#endif  // !_WIN32

// File dialogs.
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;

#ifndef _WIN32
// WM_COMMAND packs the control id (low word) and the notification code (high word) into wParam.
constexpr WPARAM MAKEWPARAM(UINT low, UINT high) {
    return static_cast<WPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr UINT LOWORD(WPARAM value) { return static_cast<UINT>(value & 0xFFFFu); }
constexpr UINT HIWORD(WPARAM value) { return static_cast<UINT>((value >> 16) & 0xFFFFu); }
#endif  // !_WIN32
