#pragma once
// The strings of the current resource module that CFileException::GetErrorMessage words its causes with
// (%1: the file's path). Every module carries them. Constants only; any thread.
#include "platform/win_types.h"

inline constexpr UINT IDS_FW_FILE_GENERIC = 0xF110;        // "An unknown error occurred while accessing %1."
inline constexpr UINT IDS_FW_FILE_NOT_FOUND = 0xF111;      // "%1 was not found."
inline constexpr UINT IDS_FW_FILE_BAD_PATH = 0xF112;       // "%1 contains an invalid path."
inline constexpr UINT IDS_FW_FILE_ACCESS_DENIED = 0xF113;  // "Access to %1 was denied."
inline constexpr UINT IDS_FW_FILE_SHARING = 0xF114;    // "A sharing violation occurred while accessing %1."
inline constexpr UINT IDS_FW_FILE_DISK_FULL = 0xF115;  // "Disk full while accessing %1."
