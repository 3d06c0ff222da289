// The key store over files: reads take a snapshot of the key's file; every write re-reads the file,
// changes the one line of its value and replaces the file atomically (temporary file, fsync, rename), all
// under an exclusive flock on a lock file beside it, so concurrent writers in any number of processes
// never lose a value, and every line a person added stays as it was. A key file that is a symbolic link
// is read through; its target is what gets replaced (the temporary and lock files go beside the target).
#include "platform/settings/key_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/settings/key_file.h"

struct RegistryKey {
    std::string path;
    REGSAM access = 0;
    std::vector<KeyValue> values;
};

namespace {
constexpr std::size_t kMaxKeyFileBytes = 8u << 20;
constexpr std::size_t kMaxNameLen = 16383;
constexpr std::size_t kMaxDataLen = 1u << 20;
// How long a write waits for another writer's lock before it gives up.
constexpr auto kLockWait = std::chrono::seconds(2);

std::mutex g_handlesMutex;
std::set<HKEY> g_handles;

bool IsOpen(HKEY key) {
    std::lock_guard lock(g_handlesMutex);
    return key && g_handles.count(key) != 0;
}

LONG ErrnoToError(int err) {
    switch (err) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
            return ERROR_HANDLE_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

std::string ConfigHome() {
    // Per the XDG rules a relative XDG_CONFIG_HOME is ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config";
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return std::string(pw->pw_dir) + "/.config";
    return {};
}

// The file that holds the key's text: the path itself, or the final target when it is a symbolic link.
// A missing file is no error (the path is returned as it is); a link whose target is missing is
// ERROR_PATH_NOT_FOUND, so nothing is ever created in the link's place.
LONG ResolveKeyFile(const std::string& path, std::string& target) {
    target = path;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? ERROR_SUCCESS : ErrnoToError(errno);
    if (!S_ISLNK(st.st_mode)) return ERROR_SUCCESS;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrnoToError(errno);
    target = resolved;
    return ERROR_SUCCESS;
}

// Reads the whole file: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or another code. A file larger than the
// store reads is cut there and *cut is set, so a writer can refuse to replace it with the part it read.
LONG ReadFile(const std::string& path, std::string& text, bool* cut = nullptr) {
    text.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return ErrnoToError(errno);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ERROR_INVALID_DATA;
    }
    char buffer[65536];
    LONG result = ERROR_SUCCESS;
    while (text.size() <= kMaxKeyFileBytes) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = ErrnoToError(errno);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    if (cut) *cut = text.size() > kMaxKeyFileBytes;
    if (text.size() > kMaxKeyFileBytes) text.resize(kMaxKeyFileBytes);  // the rest is not read
    return result;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces the file with `text` so that a reader sees either the old or the new file, whole.
LONG ReplaceFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return ErrnoToError(errno);
    if (!WriteAll(fd, text) || fsync(fd) != 0) {
        const int err = errno;
        close(fd);
        unlink(temp.c_str());
        return ErrnoToError(err);
    }
    close(fd);
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        return ErrnoToError(err);
    }
    const std::string dir = path.substr(0, path.rfind('/'));
    if (const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return ERROR_SUCCESS;
}

// The exclusive advisory lock of one key, held for the object's lifetime. The wait for it is bounded
// (kLockWait, then ERROR_SHARING_VIOLATION), so a writer that hangs elsewhere never freezes this one.
// flock has no timed form, and a thread parked in a blocking flock cannot be woken to end, so the lock
// is tried without blocking and retried after sleeps that double from 1 ms up to 64 ms: a writer holds
// it for a few milliseconds, so the usual wait is one or two short sleeps and a long one costs about 35
// wake-ups in all.
class KeyLock {
public:
    explicit KeyLock(const std::string& keyFile) {
        m_fd = open((keyFile + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0) {
            m_error = ErrnoToError(errno);
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        auto pause = std::chrono::milliseconds(1);
        while (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                m_error = ErrnoToError(errno);
                return;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                m_error = ERROR_SHARING_VIOLATION;
                return;
            }
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(64));
        }
    }
    ~KeyLock() {
        if (m_fd >= 0) close(m_fd);  // closing releases the lock
    }
    KeyLock(const KeyLock&) = delete;
    KeyLock& operator=(const KeyLock&) = delete;
    LONG Error() const { return m_error; }

private:
    int m_fd = -1;
    LONG m_error = ERROR_SUCCESS;
};

LONG MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return ErrnoToError(errno);
    }
    return ERROR_SUCCESS;
}

HKEY NewHandle(std::string path, REGSAM access, std::vector<KeyValue> values) {
    auto* key = new RegistryKey{std::move(path), access, std::move(values)};
    std::lock_guard lock(g_handlesMutex);
    g_handles.insert(key);
    return key;
}

LONG OpenPath(HKEY root, const char* subKey, std::string& path) {
    if (root != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
    if (!subKey) return ERROR_INVALID_PARAMETER;
    return KeyFilePath(subKey, &path);
}
}  // namespace

LONG KeyFilePath(const std::string& subKey, std::string* path) {
    std::string relative;
    if (!KeyRelativePath(subKey, &relative)) return ERROR_INVALID_PARAMETER;
    const std::string home = ConfigHome();
    if (home.empty()) return ERROR_PATH_NOT_FOUND;
    *path = home + "/" + relative;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, REGSAM access, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    if (const LONG error = OpenPath(root, subKey, path)) return error;
    std::string file, text;
    if (const LONG error = ResolveKeyFile(path, file)) return error;
    if (const LONG error = ReadFile(file, text)) return error;
    *result = NewHandle(path, access, ParseKeyFile(text));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD, char*, DWORD, REGSAM access, void*, HKEY* result,
                     DWORD* disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    if (const LONG error = OpenPath(root, subKey, path)) return error;
    if (const LONG error = MakeDirectories(path)) return error;
    std::string file;
    if (const LONG error = ResolveKeyFile(path, file)) return error;
    KeyLock lock(file);
    if (lock.Error()) return lock.Error();
    std::string text;
    LONG error = ReadFile(file, text);
    bool created = false;
    if (error == ERROR_FILE_NOT_FOUND) {
        error = ReplaceFile(file, SerializeKeyFile({}));
        created = true;
    }
    if (error) return error;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(path, access, ParseKeyFile(text));
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY key, DWORD* values, DWORD* maxValueNameLen, DWORD* maxValueLen) {
    if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    DWORD longestName = 0, longestData = 0;
    for (const KeyValue& v : key->values) {
        longestName = std::max<DWORD>(longestName, static_cast<DWORD>(v.name.size()));
        longestData = std::max<DWORD>(longestData, static_cast<DWORD>(v.data.size()));
    }
    if (values) *values = static_cast<DWORD>(key->values.size());
    if (maxValueNameLen) *maxValueNameLen = longestName;
    if (maxValueLen) *maxValueLen = longestData;
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, DWORD* type, BYTE* data,
                   DWORD* dataLen) {
    if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (!name || !nameLen) return ERROR_INVALID_PARAMETER;
    if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const KeyValue& v = key->values[index];
    if (v.name.size() + 1 > *nameLen) return ERROR_MORE_DATA;
    std::memcpy(name, v.name.data(), v.name.size());
    name[v.name.size()] = '\0';
    *nameLen = static_cast<DWORD>(v.name.size());
    if (type) *type = v.type;
    if (dataLen) {
        const auto size = static_cast<DWORD>(v.data.size());
        if (data && size > *dataLen) {
            *dataLen = size;
            return ERROR_MORE_DATA;
        }
        if (data) std::memcpy(data, v.data.data(), v.data.size());
        *dataLen = size;
    } else if (data) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
    if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    const std::string valueName = name ? name : "";
    if (valueName.size() > kMaxNameLen || size > kMaxDataLen || (size && !data))
        return ERROR_INVALID_PARAMETER;
    auto deleted = [](LONG error) {
        return error == ERROR_FILE_NOT_FOUND ? static_cast<LONG>(ERROR_KEY_DELETED) : error;
    };
    std::string file;
    if (const LONG error = ResolveKeyFile(key->path, file)) return deleted(error);
    KeyLock lock(file);
    if (lock.Error()) return deleted(lock.Error());
    std::string text;
    bool cut = false;
    if (const LONG error = ReadFile(file, text, &cut)) return deleted(error);
    if (cut) return ERROR_INVALID_DATA;  // replacing it would lose what lies past the part read
    std::vector<KeyFileLine> lines = ParseKeyFileLines(text);
    SetKeyFileValue(lines, {valueName, type,
                            size ? std::string(reinterpret_cast<const char*>(data), size) : std::string()});
    if (const LONG error = ReplaceFile(file, SerializeKeyFileLines(lines))) return error;
    key->values = KeyFileValues(lines);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    {
        std::lock_guard lock(g_handlesMutex);
        if (!key || g_handles.erase(key) == 0) return ERROR_INVALID_HANDLE;
    }
    delete key;
    return ERROR_SUCCESS;
}
