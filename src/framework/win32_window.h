#pragma once
// <windows.h>, the common controls and the common dialogs as the framework's Win32 files include them:
// after the framework's own headers, and without the A/W macros whose names are also the framework's
// method names (SendMessage, GetWindowText ...). Win32 backend only.
#ifndef _WIN32
#error "win32_window.h is for the Win32 backend only"
#endif
// The wide API throughout; the common controls' macros send with SendMessageW directly.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
// <windows.h> (through afx_defs.h) before the common controls and dialogs, which build on it.
// clang-format off
#undef SNDMSG
#define SNDMSG ::SendMessageW
#include "framework/afx_defs.h"  // <windows.h> without the A/W macros named like the framework's methods
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
// clang-format on

inline const wchar_t* Wide(const CString& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline CString FromWide(const wchar_t* text) {
    return text != nullptr ? CString(reinterpret_cast<const char16_t*>(text)) : CString();
}
