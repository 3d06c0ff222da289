#pragma once
// Facts about this user and this machine for diagnostics: group membership (in the group database and in
// this login session), processes by name, installed programs, a device node's owner and access.
// Any thread; `procRoot` is normally "/proc", tests point it at a fake tree.
#include <string>

// Whether this system reaches serial devices through Unix groups and runs the Linux services that may take
// them (ModemManager, brltty): the checks of `quarvel-cli doctor` that mean nothing on Windows.
#ifdef _WIN32
inline constexpr bool kSystemHasDeviceGroups = false;
#else
inline constexpr bool kSystemHasDeviceGroups = true;
#endif

std::string CurrentUserName();
// Root opens any device whatever its group.
bool IsSuperUser();

struct GroupMembership {
    bool bGroupExists = false;
    bool bInDatabase = false;  // the group database lists this user in the group (or as its primary group)
    bool bInSession = false;   // this process runs with the group, so this login session has it
};
GroupMembership CheckGroupMembership(const std::string& group);

// True when a process whose command name (comm) is `name` runs.
bool IsProgramRunning(const std::string& name, const std::string& procRoot);
// True when `name` is a program in /usr/bin, /usr/sbin, /bin or /sbin.
bool IsProgramInstalled(const std::string& name);

struct NodeAccess {
    bool bExists = false;
    bool bOwnedByMe = false;
    bool bMayOpen = false;  // read and write permission for this user
    std::string strGroup;   // the group owning the node; empty when unknown
};
NodeAccess InspectNodeAccess(const std::string& path);
