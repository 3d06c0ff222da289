#include "platform/settings/key_text.h"

#include <string>
#include <vector>

#include "platform/text/utf8.h"

namespace {
std::wstring Wide(const std::string& utf8) {
    CString text;
    if (!Utf8ToUtf16(utf8, text)) return {};
    return std::wstring(text.begin(), text.end());
}
}  // namespace

LONG RegQueryTextUtf8(HKEY key, const char* name, std::string& text) {
    const std::wstring wideName = Wide(name);
    DWORD type = 0, size = 0;
    LONG error = RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
    if (error != ERROR_SUCCESS) return error;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    error =
        RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (error != ERROR_SUCCESS) return error;
    std::u16string value;
    for (std::size_t i = 0; i < size / sizeof(wchar_t) && data[i] != L'\0'; ++i)
        value.push_back(static_cast<char16_t>(data[i]));
    text = Utf16ToUtf8(value);
    return ERROR_SUCCESS;
}

LONG RegSetTextUtf8(HKEY key, const char* name, const std::string& text) {
    CString value;
    if (!Utf8ToUtf16(text, value)) return ERROR_INVALID_DATA;
    const std::wstring wide(value.begin(), value.end());
    return RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}
