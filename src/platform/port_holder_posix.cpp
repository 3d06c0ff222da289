// Finding another process that holds a device: its UUCP lock first (a few file reads), then every other
// process's descriptors under /proc, compared by device number as fuser does.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/port_holder.h"
#include "platform/uucp_lock.h"

namespace {

// The program name of a process (its comm), empty when it cannot be read.
std::string ProgramOf(const std::string& procRoot, int pid) {
    const std::string path = procRoot + "/" + std::to_string(pid) + "/comm";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char text[64] = {};
    const ssize_t k = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    std::string name(text, k > 0 ? static_cast<std::size_t>(k) : 0);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
    return name;
}

int PidOfEntry(const char* name) {
    if (*name < '1' || *name > '9') return 0;
    char* end = nullptr;
    const long pid = std::strtol(name, &end, 10);
    return *end == '\0' && pid > 0 && pid <= 0x7FFFFFFF ? static_cast<int>(pid) : 0;
}

// True when the process whose /proc folder is open as `processFd` has a descriptor on device `rdev`.
// A process whose descriptors may not be read (another user's, without privileges) is passed over.
bool HoldsDevice(int processFd, dev_t rdev) {
    const int fdsFd = ::openat(processFd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdsFd < 0) return false;
    DIR* fds = ::fdopendir(fdsFd);
    if (fds == nullptr) {
        ::close(fdsFd);
        return false;
    }
    bool holds = false;
    while (!holds) {
        const dirent* entry = ::readdir(fds);
        if (entry == nullptr) break;
        if (entry->d_name[0] == '.') continue;
        struct stat st {};
        // Follows the descriptor's link to the open file itself, whatever name it was opened by.
        holds = ::fstatat(fdsFd, entry->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev;
    }
    ::closedir(fds);
    return holds;
}

std::optional<PortHolder> FindLockHolder(const std::string& path, const std::string& procRoot) {
    const std::string name = UucpLockName(path);
    const int self = static_cast<int>(::getpid());
    for (const std::string& folder : UucpLockFolders()) {
        const int pid = ReadUucpLockPid(folder + "/" + name);
        if (pid > 0 && pid != self && IsProcessAlive(pid)) return PortHolder{pid, ProgramOf(procRoot, pid)};
    }
    return std::nullopt;
}

std::optional<PortHolder> FindDescriptorHolder(dev_t rdev, const std::string& procRoot) {
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr) return std::nullopt;
    const int self = static_cast<int>(::getpid());
    std::optional<PortHolder> holder;
    while (!holder) {
        const dirent* entry = ::readdir(proc);
        if (entry == nullptr) break;
        const int pid = PidOfEntry(entry->d_name);
        if (pid == 0 || pid == self) continue;
        const int processFd = ::openat(::dirfd(proc), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (processFd < 0) continue;  // ended meanwhile
        if (HoldsDevice(processFd, rdev)) holder = PortHolder{pid, ProgramOf(procRoot, pid)};
        ::close(processFd);
    }
    ::closedir(proc);
    return holder;
}

}  // namespace

std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot) {
    if (auto holder = FindLockHolder(path, procRoot)) return holder;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return std::nullopt;
    return FindDescriptorHolder(st.st_rdev, procRoot);
}

std::string DescribePortHolder(const PortHolder& holder) {
    std::string text =
        "held by " + (holder.strProgram.empty() ? std::string("another program") : holder.strProgram);
    if (holder.nPid > 0) text += " (pid " + std::to_string(holder.nPid) + ")";
    return text;
}
