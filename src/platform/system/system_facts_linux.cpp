#include "platform/system/system_facts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

struct UserEntry {
    std::string strName;
    gid_t nGroup = 0;
    bool bFound = false;
};

UserEntry ThisUser() {
    UserEntry user;
    std::vector<char> scratch(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 && found != nullptr) {
        user.strName = found->pw_name;
        user.nGroup = found->pw_gid;
        user.bFound = true;
    }
    return user;
}

bool GroupId(const std::string& name, gid_t& gid) {
    std::vector<char> scratch(65536);
    group entry{};
    group* found = nullptr;
    if (getgrnam_r(name.c_str(), &entry, scratch.data(), scratch.size(), &found) != 0 || found == nullptr)
        return false;
    gid = found->gr_gid;
    return true;
}

std::string GroupName(gid_t gid) {
    std::vector<char> scratch(65536);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, scratch.data(), scratch.size(), &found) != 0 || found == nullptr) return {};
    return found->gr_name;
}

}  // namespace

std::string CurrentUserName() { return ThisUser().strName; }

bool IsSuperUser() { return geteuid() == 0; }

GroupMembership CheckGroupMembership(const std::string& name) {
    GroupMembership membership;
    gid_t gid = 0;
    if (!GroupId(name, gid)) return membership;
    membership.bGroupExists = true;
    std::vector<gid_t> session(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)) + 1);
    const int count = getgroups(static_cast<int>(session.size()), session.data());
    session.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    membership.bInSession =
        getegid() == gid || std::find(session.begin(), session.end(), gid) != session.end();
    const UserEntry user = ThisUser();
    if (user.bFound) {
        int n = 64;
        std::vector<gid_t> listed(static_cast<std::size_t>(n));
        if (getgrouplist(user.strName.c_str(), user.nGroup, listed.data(), &n) < 0) {
            listed.resize(static_cast<std::size_t>(n));
            (void)getgrouplist(user.strName.c_str(), user.nGroup, listed.data(), &n);
        }
        listed.resize(static_cast<std::size_t>(std::max(n, 0)));
        membership.bInDatabase = std::find(listed.begin(), listed.end(), gid) != listed.end();
    }
    return membership;
}

bool IsProgramRunning(const std::string& name, const std::string& procRoot) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string pid = it->path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::ifstream comm(it->path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) return true;
    }
    return false;
}

bool IsProgramInstalled(const std::string& name) {
    for (const char* dir : {"/usr/bin/", "/usr/sbin/", "/bin/", "/sbin/"}) {
        if (::access((dir + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

NodeAccess InspectNodeAccess(const std::string& path) {
    NodeAccess access;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return access;
    access.bExists = true;
    access.bOwnedByMe = st.st_uid == getuid();
    access.bMayOpen = ::access(path.c_str(), R_OK | W_OK) == 0;
    access.strGroup = GroupName(st.st_gid);
    return access;
}
