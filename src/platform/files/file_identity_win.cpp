#include "platform/files/file_identity.h"

#include "platform/text/utf8.h"
#include "platform/win32_api.h"

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    CString wide;
    if (!Utf8ToUtf16(path, wide)) return std::nullopt;
    // No access asked and every sharing allowed: a file another program (or SQLite) holds open is examined
    // too.
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}
