#include "platform/settings/key_text.h"

#include <vector>

LONG RegQueryTextUtf8(HKEY key, const char* name, std::string& text) {
    DWORD values = 0, maxName = 0, maxData = 0;
    if (const LONG error = RegQueryInfoKeyA(key, &values, &maxName, &maxData)) return error;
    std::vector<char> nameBuffer(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD index = 0; index < values; ++index) {
        DWORD nameLen = static_cast<DWORD>(nameBuffer.size()), dataLen = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, index, nameBuffer.data(), &nameLen, nullptr, nullptr, data.data(), &dataLen) !=
            ERROR_SUCCESS)
            break;
        if (std::string(nameBuffer.data(), nameLen) != name) continue;
        text.assign(reinterpret_cast<const char*>(data.data()), dataLen);
        text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG RegSetTextUtf8(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}
