#pragma once
// <windows.h> as the Windows files of the platform layer include it: without the rarely used parts and
// without the min and max macros, which would break the standard library's std::min and std::max.
#ifndef _WIN32
#error "win32_api.h is for the Windows build only"
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
