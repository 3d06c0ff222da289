#pragma once
// The per-user settings key.
// On Windows these are the real registry calls of <windows.h> (HKEY_CURRENT_USER is the user's hive); the
// one shape of its own is the short RegQueryInfoKeyA below.
// Elsewhere: a stand-in for the current user's registry with the same calls in shape
// and the same Windows error codes. Each key is one file under $XDG_CONFIG_HOME (see KeyFilePath and
// docs/RESOURCES.md, docs/settings.md). Any thread may call these functions; one handle is used by one
// thread at a time, and its owner closes it with RegCloseKey. Writes from several threads or processes
// are serialised by an advisory lock, so none is lost.
#ifdef _WIN32
#include "platform/win32_api.h"
#include "platform/win_types.h"

// Number of values, longest value name (in characters, without a NUL) and longest data (in bytes).
inline LONG RegQueryInfoKeyA(HKEY key, DWORD* values, DWORD* maxValueNameLen, DWORD* maxValueLen) {
    return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, values,
                              maxValueNameLen, maxValueLen, nullptr, nullptr);
}
#else
#include <cstdint>
#include <string>

#include "platform/win_types.h"

using LONG = std::int32_t;
using REGSAM = DWORD;
struct RegistryKey;
using HKEY = RegistryKey*;

// The only root key there is.
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr DWORD ERROR_KEY_DELETED = 1018;

// Opens an existing key. ERROR_FILE_NOT_FOUND (2) when it does not exist; nothing is created.
// The handle sees the key's values as they were when it was opened, plus its own writes, so an
// enumeration by index is consistent however other processes write meanwhile.
LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result);

// Opens the key, creating it (empty) first when it is missing. Only the installer's step uses this.
LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM access, void* security, HKEY* result, DWORD* disposition);

// Number of values, longest value name (in bytes, without a NUL) and longest data (in bytes).
// Any output pointer may be null.
LONG RegQueryInfoKeyA(HKEY key, DWORD* values, DWORD* maxValueNameLen, DWORD* maxValueLen);

// The value at `index` in the key's order. *nameLen is the name buffer's size in bytes on entry and the
// name's length without NUL on return; *dataLen the data buffer's size and then the data's length.
// ERROR_NO_MORE_ITEMS (259) past the last value; ERROR_MORE_DATA (234) when a buffer is too small (then
// *dataLen holds the size needed). `reserved`, `type`, `data` and `dataLen` may be null.
LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* dataLen);

// Stores `size` bytes of data under `name` (for REG_SZ the size counts the terminating NUL). A new name
// goes after the existing ones; an existing one keeps its place. ERROR_ACCESS_DENIED without
// KEY_SET_VALUE access; ERROR_KEY_DELETED when the key's file has gone since the handle was opened.
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

// ERROR_INVALID_HANDLE for anything that is not an open handle (a second close included).
LONG RegCloseKey(HKEY key);

// The file that holds `subKey` of the current user: ERROR_SUCCESS and the path, or an error for a
// malformed subkey name or a missing configuration directory.
LONG KeyFilePath(const std::string& subKey, std::string* path);
#endif
