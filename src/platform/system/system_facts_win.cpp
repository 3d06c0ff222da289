// Windows keeps no device groups: whoever may log on may open a COM port that no other program holds, so
// the user counts as one who opens any device, and the Linux services the diagnosis looks for never run.
#include "platform/system/system_facts.h"

#include <windows.h>

#include <string>

#include "platform/serial/serial_node_facts.h"

std::string CurrentUserName() {
    char name[256] = {};
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

bool IsSuperUser() { return true; }

GroupMembership CheckGroupMembership(const std::string&) { return {}; }

bool IsProgramRunning(const std::string&, const std::string&) { return false; }

bool IsProgramInstalled(const std::string&) { return false; }

NodeAccess InspectNodeAccess(const std::string& path) {
    NodeAccess access;
    access.bExists = SerialNodeExists(path);
    access.bOwnedByMe = access.bExists;
    access.bMayOpen = access.bExists;
    return access;
}
