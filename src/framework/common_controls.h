#pragma once
// The start-up calls a Windows program makes before its first dialog. On Win32 they are the system's
// own (comctl32). Qt's widgets need no class registration and no control container, so there both only
// report success. UI thread.
#include "platform/win_types.h"

#ifdef _WIN32
#include "framework/afx_defs.h"  // <windows.h> first
// The common controls' macros send with SendMessageW directly: SendMessage is the framework's.
#undef SNDMSG
#define SNDMSG ::SendMessageW
#include <commctrl.h>
#else
struct INITCOMMONCONTROLSEX {
    DWORD dwSize = 0;
    DWORD dwICC = 0;
};
inline constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;

inline BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    return picce != nullptr ? TRUE : FALSE;
}
#endif
inline void AfxEnableControlContainer() {}
