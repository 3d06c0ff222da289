#pragma once
// The small formatting pieces of the two report layouts, on UTF-16 text. Pure; any thread.
#include <cstddef>

#include "platform/win_types.h"

// Decimal digits of an unsigned 32-bit value, no sign, no padding.
CString FormatUnsigned(DWORD value);
// "%f": fixed point, exactly six decimals, "." as the decimal point whatever the locale.
CString FormatFixed6(double value);
// The text of a fixed UTF-16 buffer up to its first NUL, never reading past the buffer.
template <std::size_t N>
CString TextOf(const char16_t (&buffer)[N]) {
    std::size_t n = 0;
    while (n < N && buffer[n] != 0) ++n;
    return CString(buffer, n);
}
// A field for the comma-separated layout: every '"' doubled, as CSV readers expect.
CString CsvEscape(const CString& field);
