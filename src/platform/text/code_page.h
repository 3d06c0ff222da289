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
// Never fails on the text itself, as the Windows code-page tables do not: in a single-byte code page a
// byte the page leaves undefined (0x81 in 1252, 0x98 in 1251) becomes the code point of its own value; in
// a multi-byte one (UTF-8, 932, 936, ...) each invalid or cut-short sequence becomes one U+FFFD and the
// bytes after it are decoded afresh. Returns 0 for an unknown code page or a destination too small.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst,
                        int dstUnits);

// The reverse direction. A code point that stands for an undefined byte of a single-byte page (U+0081
// in 1252) goes back to that byte; any other character the code page cannot hold becomes `defaultChar`
// (or '?', Windows' default character) and sets *usedDefaultChar. Same size and failure rules as above.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcUnits, char* dst,
                        int dstBytes, const char* defaultChar, BOOL* usedDefaultChar);

// Whole-string helpers over the thread's ANSI code page; an unknown code page gives an empty text.
CString AnsiToWide(const std::string& text);
std::string WideToAnsi(const CString& text);
