#include "platform/system/identity.h"

#include "platform/win32_api.h"
// GetUserNameExW's header wants SECURITY_WIN32 and <windows.h> first.
#define SECURITY_WIN32
#include <secext.h>

#include <cwctype>
#include <string>

#include "platform/text/utf8.h"

std::string MachineId() {
    wchar_t guid[64] = {};
    DWORD size = sizeof guid;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, guid, &size) != ERROR_SUCCESS)
        return {};
    std::string id;
    for (const wchar_t* c = guid; *c; ++c) {
        if (*c == L'-' || *c == L'{' || *c == L'}') continue;
        if (!std::iswxdigit(*c)) return {};
        id.push_back(static_cast<char>(std::towlower(*c)));
    }
    return id.size() == 32 ? id : std::string();
}

std::string AccountDisplayName() {
    wchar_t name[256] = {};
    ULONG size = 256;
    if (GetUserNameExW(NameDisplay, name, &size) && name[0])
        return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(name), size));
    DWORD login = 256;
    if (GetUserNameW(name, &login) && login > 1)
        return Utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(name), login - 1));
    return {};
}

long ProcessId() { return static_cast<long>(::GetCurrentProcessId()); }
