#include "platform/files/state_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string QuarvelStateDirectory() {
    // As with the configuration folder, a relative XDG_STATE_HOME is ignored.
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/quarvel";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state/quarvel";
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return std::string(pw->pw_dir) + "/.local/state/quarvel";
    return {};
}
