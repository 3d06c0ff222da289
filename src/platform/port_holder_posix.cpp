// FindPortHolder by a scan of /proc/<pid>/fd: a descriptor whose target is a character device with the
// same device number as the node asked about. Processes whose descriptors this user may not read are
// skipped.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/port_holder.h"

namespace {

bool IsNumber(const char* text) {
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

bool HoldsDevice(const std::string& fdDir, dev_t device) {
    DIR* dir = ::opendir(fdDir.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsNumber(entry->d_name)) continue;
        struct stat st {};
        if (::stat((fdDir + "/" + entry->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string ProgramName(const std::string& pidDir) {
    std::ifstream comm(pidDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot) {
    struct stat node {};
    if (path.empty() || ::stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return std::nullopt;
    DIR* proc = ::opendir(procRoot.c_str());
    if (proc == nullptr) return std::nullopt;
    const std::string self = std::to_string(::getpid());
    std::optional<PortHolder> holder;
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumber(entry->d_name) || self == entry->d_name) continue;
        const std::string pidDir = procRoot + "/" + entry->d_name;
        if (!HoldsDevice(pidDir + "/fd", node.st_rdev)) continue;
        holder = PortHolder{std::atoi(entry->d_name), ProgramName(pidDir)};
        break;
    }
    ::closedir(proc);
    return holder;
}
