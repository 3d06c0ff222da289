// Finding another process that holds a device: its UUCP lock first (a few file reads), then every other
// process's descriptors under /proc, compared by device number as fuser does.
#include "platform/serial/port_holder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/serial/uucp_lock.h"

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

// Calls visit(rdev) for every character device that the process whose /proc folder is open as `processFd`
// has a descriptor on, until visit returns true; returns whether it did. A process whose descriptors may not
// be read (another user's, without privileges) is passed over.
template <typename Visit>
bool VisitDevices(int processFd, Visit visit) {
    const int fdsFd = ::openat(processFd, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdsFd < 0) return false;
    DIR* fds = ::fdopendir(fdsFd);
    if (fds == nullptr) {
        ::close(fdsFd);
        return false;
    }
    bool stop = false;
    while (!stop) {
        const dirent* entry = ::readdir(fds);
        if (entry == nullptr) break;
        if (entry->d_name[0] == '.') continue;
        struct stat st {};
        // Follows the descriptor's link to the open file itself, whatever name it was opened by.
        if (::fstatat(fdsFd, entry->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode)) stop = visit(st.st_rdev);
    }
    ::closedir(fds);
    return stop;
}

// Calls visit(pid, rdev) for the character devices of every process but this one, until visit returns true.
template <typename Visit>
void VisitProcesses(const std::string& procRoot, Visit visit) {
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr) return;
    const int self = static_cast<int>(::getpid());
    bool stop = false;
    while (!stop) {
        const dirent* entry = ::readdir(proc);
        if (entry == nullptr) break;
        const int pid = PidOfEntry(entry->d_name);
        if (pid == 0 || pid == self) continue;
        const int processFd = ::openat(::dirfd(proc), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (processFd < 0) continue;  // ended meanwhile
        stop = VisitDevices(processFd, [&](dev_t rdev) { return visit(pid, rdev); });
        ::close(processFd);
    }
    ::closedir(proc);
}

thread_local PortHolderSearch* t_pSearch = nullptr;

std::optional<PortHolder> FindLockHolder(const std::string& path, const std::string& procRoot) {
    const std::string name = UucpLockName(path);
    const int self = static_cast<int>(::getpid());
    for (const std::string& folder : UucpLockFolders()) {
        const int pid = ReadUucpLockPid(folder + "/" + name);
        if (pid > 0 && pid != self && IsProcessAlive(pid)) return PortHolder{pid, ProgramOf(procRoot, pid)};
    }
    return std::nullopt;
}

std::optional<int> FindDescriptorHolder(dev_t rdev, const std::string& procRoot) {
    if (t_pSearch != nullptr) return t_pSearch->HolderOf(rdev, procRoot);
    std::optional<int> holder;
    VisitProcesses(procRoot, [&](int pid, dev_t held) {
        if (held == rdev) holder = pid;
        return holder.has_value();
    });
    return holder;
}

}  // namespace

std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot) {
    if (auto holder = FindLockHolder(path, procRoot)) return holder;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return std::nullopt;
    const std::optional<int> pid = FindDescriptorHolder(st.st_rdev, procRoot);
    if (!pid) return std::nullopt;
    return PortHolder{*pid, ProgramOf(procRoot, *pid)};
}

PortHolderSearch::PortHolderSearch() : m_pOuter(t_pSearch) { t_pSearch = this; }

PortHolderSearch::~PortHolderSearch() { t_pSearch = m_pOuter; }

std::optional<int> PortHolderSearch::HolderOf(dev_t rdev, const std::string& procRoot) {
    if (!m_bDone || procRoot != m_strProcRoot) {
        m_holders.clear();
        VisitProcesses(procRoot, [this](int pid, dev_t held) {
            m_holders.emplace(held, pid);
            return false;
        });
        m_bDone = true;
        m_strProcRoot = procRoot;
    }
    const auto it = m_holders.find(rdev);
    if (it == m_holders.end()) return std::nullopt;
    return it->second;
}

std::string DescribePortHolder(const PortHolder& holder) {
    std::string text =
        "held by " + (holder.strProgram.empty() ? std::string("another program") : holder.strProgram);
    if (holder.nPid > 0) text += " (pid " + std::to_string(holder.nPid) + ")";
    return text;
}
