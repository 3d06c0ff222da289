#include "support/stored_settings.h"

#include "app/settings/settings_store.h"
#include "platform/settings/key_store.h"

std::string StoredSettingsData(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    std::string result = "<none>";
    for (DWORD i = 0;; ++i) {
        char n[256];
        BYTE data[1024];
        DWORD nLen = sizeof n, dLen = sizeof data;
        if (RegEnumValueA(key, i, n, &nLen, nullptr, nullptr, data, &dLen) != ERROR_SUCCESS) break;
        if (std::string(n, nLen) == name) result.assign(reinterpret_cast<char*>(data), dLen);
    }
    RegCloseKey(key);
    return result;
}

std::string StoredSettingsText(const std::string& name) {
    std::string data = StoredSettingsData(name);
    if (data.rfind("<n", 0) != 0 && !data.empty() && data.back() == '\0') data.pop_back();
    return data;
}
