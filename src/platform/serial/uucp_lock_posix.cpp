// UUCP lock files: reading another program's lock, writing and removing this process's own.
#include "platform/serial/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The lock files this process holds, so that every exit path can remove them. Never destroyed: the exit
// handlers may run after static destructors.
struct HeldLocks {
    std::mutex mutex;
    std::vector<std::string> files;
};

HeldLocks& Held() {
    static HeldLocks* held = new HeldLocks;
    return *held;
}

void RemoveAtExit() { ReleaseAllUucpLocks(); }

void Register(const std::string& file) {
    static std::once_flag handlers;
    std::call_once(handlers, [] {
        std::atexit(RemoveAtExit);
        std::at_quick_exit(RemoveAtExit);
    });
    std::lock_guard lock(Held().mutex);
    Held().files.push_back(file);
}

// Removes `file` when it is still this process's lock (it may have been removed and taken by another).
void RemoveOwn(const std::string& file) {
    if (ReadUucpLockPid(file) == static_cast<int>(::getpid())) (void)::unlink(file.c_str());
}

enum class WriteOutcome { Written, Busy, Unwritable };

// Writes the lock through a temporary file and link(), so that no reader ever sees a half-written lock and
// two writers cannot both win. A stale lock (or one with this process's pid) is replaced once.
WriteOutcome WriteLock(const std::string& folder, const std::string& name, std::string* written) {
    static std::atomic<unsigned> counter{0};
    const int self = static_cast<int>(::getpid());
    const std::string temp = folder + "/LTMP." + std::to_string(self) + "." + std::to_string(counter++);
    const std::string file = folder + "/" + name;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return WriteOutcome::Unwritable;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", self);
    const bool complete = ::write(fd, text, static_cast<std::size_t>(length)) == length;
    ::close(fd);
    WriteOutcome outcome = WriteOutcome::Unwritable;
    for (int attempt = 0; complete && attempt < 2; ++attempt) {
        if (::link(temp.c_str(), file.c_str()) == 0) {
            outcome = WriteOutcome::Written;
            break;
        }
        if (errno != EEXIST) break;
        const int pid = ReadUucpLockPid(file);
        if (pid > 0 && pid != self && IsProcessAlive(pid)) {
            outcome = WriteOutcome::Busy;
            break;
        }
        (void)::unlink(file.c_str());  // stale, or left by an earlier process with this pid
    }
    (void)::unlink(temp.c_str());
    if (outcome == WriteOutcome::Written) *written = file;
    return outcome;
}

}  // namespace

std::vector<std::string> UucpLockFolders() {
    if (const char* testing = std::getenv("QUARVEL_LOCK_DIR"); testing != nullptr && *testing != '\0') {
        return {testing};
    }
    std::vector<std::string> folders;
    for (const char* candidate : {"/run/lock", "/var/lock"}) {
        if (!IsFolder(candidate)) continue;
        const std::string real = RealPath(candidate);
        const bool seen = std::any_of(folders.begin(), folders.end(),
                                      [&](const std::string& folder) { return RealPath(folder) == real; });
        if (!seen) folders.emplace_back(candidate);
    }
    return folders;
}

std::string UucpLockName(const std::string& devicePath) {
    const std::string real = RealPath(devicePath);
    std::string name;
    if (real.rfind("/dev/", 0) == 0) {
        name = real.substr(5);
        std::replace(name.begin(), name.end(), '/', '_');
    } else {
        const std::size_t slash = real.find_last_of('/');
        name = slash == std::string::npos ? real : real.substr(slash + 1);
    }
    return "LCK.." + name;
}

int ReadUucpLockPid(const std::string& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return 0;
    char text[32] = {};
    const ssize_t k = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (k <= 0) return 0;
    const bool isText =
        std::all_of(text, text + k, [](char c) { return c == ' ' || c == '\n' || (c >= '0' && c <= '9'); });
    if (k == 4 && !isText) {  // the old binary form: the pid as a native int
        int pid = 0;
        std::memcpy(&pid, text, sizeof pid);
        return pid > 0 ? pid : 0;
    }
    const char* p = text;
    while (*p == ' ') ++p;
    long pid = 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9' && pid <= INT_MAX) pid = pid * 10 + (*p++ - '0');
    if (p == digits || pid <= 0 || pid > INT_MAX) return 0;
    return static_cast<int>(pid);
}

bool IsProcessAlive(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

bool UucpLock::Acquire(const std::string& devicePath) {
    Release();
    const std::vector<std::string> folders = UucpLockFolders();
    const std::string name = UucpLockName(devicePath);
    const int self = static_cast<int>(::getpid());
    for (const std::string& folder : folders) {
        const int pid = ReadUucpLockPid(folder + "/" + name);
        if (pid > 0 && pid != self && IsProcessAlive(pid)) return false;
    }
    for (const std::string& folder : folders) {
        std::string written;
        const WriteOutcome outcome = WriteLock(folder, name, &written);
        if (outcome == WriteOutcome::Busy) return false;
        if (outcome == WriteOutcome::Written) {
            m_strFile = written;
            Register(written);
            return true;
        }
    }
    return true;  // no writable lock folder: nothing to announce
}

void UucpLock::Release() {
    if (m_strFile.empty()) return;
    bool held = false;
    {
        std::lock_guard lock(Held().mutex);
        auto& files = Held().files;
        const auto it = std::find(files.begin(), files.end(), m_strFile);
        held = it != files.end();
        if (held) files.erase(it);
    }
    if (held) RemoveOwn(m_strFile);
    m_strFile.clear();
}

void ReleaseAllUucpLocks() {
    std::vector<std::string> files;
    {
        std::lock_guard lock(Held().mutex);
        files.swap(Held().files);
    }
    for (const std::string& file : files) RemoveOwn(file);
}
