#include "report/report_format.h"

#include <charconv>

namespace {
CString Widen(const char* begin, const char* end) { return CString(begin, end); }
}  // namespace

CString FormatUnsigned(DWORD value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return Widen(digits, result.ptr);
}

CString FormatFixed6(double value) {
    // std::to_chars never consults the locale; 400 characters hold any double in fixed notation.
    char digits[400];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return u"0.000000";
    return Widen(digits, result.ptr);
}

CString CsvEscape(const CString& field) {
    CString out;
    out.reserve(field.size());
    for (char16_t unit : field) {
        out.push_back(unit);
        if (unit == u'"') out.push_back(u'"');
    }
    return out;
}
