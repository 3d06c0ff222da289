// The code page conversions through the system's own calls. UTF-16 units are the same 16 bits whether
// they are spelt char16_t or wchar_t, so the buffers are only reinterpreted.
#include "platform/text/code_page.h"

#include <string>

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcBytes, char16_t* dst,
                        int dstUnits) {
    if (src == nullptr || dstUnits < 0 || (dstUnits > 0 && dst == nullptr)) return 0;
    return ::MultiByteToWideChar(codePage, flags, src, srcBytes, reinterpret_cast<wchar_t*>(dst), dstUnits);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcUnits, char* dst,
                        int dstBytes, const char* defaultChar, BOOL* usedDefaultChar) {
    if (src == nullptr || dstBytes < 0 || (dstBytes > 0 && dst == nullptr)) return 0;
    // UTF-8 and UTF-7 refuse a default character (ERROR_INVALID_PARAMETER): nothing is ever replaced there.
    const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
    if (utf && usedDefaultChar != nullptr) *usedDefaultChar = FALSE;
    return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(src), srcUnits, dst,
                                 dstBytes, utf ? nullptr : defaultChar, utf ? nullptr : usedDefaultChar);
}

CString AnsiToWide(const std::string& text) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int units =
        ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), n, static_cast<wchar_t*>(nullptr), 0);
    if (units <= 0) return {};
    CString wide(static_cast<std::size_t>(units), u'\0');
    if (::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), n, reinterpret_cast<wchar_t*>(wide.data()),
                              units) != units) {
        return {};
    }
    return wide;
}

std::string WideToAnsi(const CString& text) {
    if (text.empty()) return {};
    const auto* src = reinterpret_cast<const wchar_t*>(text.data());
    const int n = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_THREAD_ACP, 0, src, n, nullptr, 0, "?", nullptr);
    if (bytes <= 0) return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    if (::WideCharToMultiByte(CP_THREAD_ACP, 0, src, n, narrow.data(), bytes, "?", nullptr) != bytes)
        return {};
    return narrow;
}
