#pragma once
// Which file a path names now: two paths, or one path at two moments, name the same file exactly when
// their identities are equal (POSIX: device and inode; Windows: volume serial and file index). For
// noticing that a file one holds open was renamed away or replaced. Any thread.
#include <cstdint>
#include <optional>
#include <string>

struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Nothing when the path names no file (or it cannot be examined).
std::optional<FileIdentity> IdentifyFile(const std::string& path);
