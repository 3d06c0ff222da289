#pragma once
// Conversions between 8-bit text in a code page and UTF-16, shaped like the Windows calls the rest of
// the system speaks. The thread's ANSI code page (CP_ACP, CP_THREAD_ACP) is Windows-1252 unless the
// environment variable QUARVEL_CODEPAGE names another by number (for example 1251). ASCII always
// round-trips. Safe to call from any thread (each thread keeps converters of its own).
// On Windows the code pages and GetACP are the system's own, and the two conversions below are the
// system's calls taking char16_t in place of wchar_t (the same 16-bit units); the flags are passed on.
#include "platform/win_types.h"

#ifdef _WIN32
#include "platform/win32_api.h"
#else
inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF8 = 65001;

// The ANSI code page in use: QUARVEL_CODEPAGE when it holds a number, otherwise 1252.
UINT GetACP();
#endif

// Converts `srcBytes` bytes (-1: up to and including the first NUL) to UTF-16. With dstUnits 0 returns
// the number of code units needed; otherwise writes at most dstUnits and returns the number written.
// Returns 0 on failure: a byte sequence the code page does not define, an unknown code page, or a
// destination that is too small.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst, int dstUnits);

// The reverse direction. A character the code page cannot hold becomes `defaultChar` (or '?') and sets
// *usedDefaultChar. Same size and failure rules as above.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcUnits, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefaultChar);

// Whole-string helpers over the thread's ANSI code page; a failed conversion gives an empty text.
CString AnsiToWide(const std::string& text);
std::string WideToAnsi(const CString& text);
