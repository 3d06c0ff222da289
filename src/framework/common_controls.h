#pragma once
// The start-up calls a Windows program makes before its first dialog. Qt's widgets need no class
// registration and no control container, so both only report success. UI thread.
#include "platform/win_types.h"

struct INITCOMMONCONTROLSEX {
    DWORD dwSize = 0;
    DWORD dwICC = 0;
};
inline constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;

inline BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) { return picce != nullptr ? TRUE : FALSE; }
inline void AfxEnableControlContainer() {}
