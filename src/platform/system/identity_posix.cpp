#include "platform/system/identity.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <string>

namespace {
// The first line of the file when it is an id of 32 hex digits, lower-cased; "" otherwise.
std::string IdFromFile(const char* path) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return {};
    if (line.size() != 32) return {};
    for (char& c : line) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return line;
}
}  // namespace

std::string MachineId() {
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::string id = IdFromFile(path);
        if (!id.empty()) return id;
    }
    return {};
}

std::string AccountDisplayName() {
    const passwd* entry = getpwuid(getuid());
    if (!entry) return {};
    // The GECOS field: the full name, then office, phones and other fields after commas.
    std::string full = entry->pw_gecos ? entry->pw_gecos : "";
    full = full.substr(0, full.find(','));
    while (!full.empty() && full.back() == ' ') full.pop_back();
    if (!full.empty()) return full;
    return entry->pw_name ? entry->pw_name : "";
}

long ProcessId() { return static_cast<long>(::getpid()); }
