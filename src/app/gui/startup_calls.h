#pragma once
// Stand-ins for two start-up calls of the Windows program. Qt's widgets need no registration of control
// classes and the program hosts no embedded controls, so both do nothing; they keep the start-up steps
// in their order and are where such a step would go on a platform that needs it. UI thread.
#include "platform/win_types.h"

// The control classes of the common controls library (the Windows 95 set).
inline constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;

struct INITCOMMONCONTROLSEX {
    DWORD dwSize = sizeof(INITCOMMONCONTROLSEX);
    DWORD dwICC = 0;
};

inline BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) { return init != nullptr ? TRUE : FALSE; }

inline void AfxEnableControlContainer() {}
