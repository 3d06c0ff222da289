// The per-user state folder on Windows: %LOCALAPPDATA%\Quarvel.
#include "platform/files/state_dir.h"

#include <cstdlib>

std::string QuarvelStateDirectory() {
    const char* base = std::getenv("LOCALAPPDATA");
    if (base == nullptr || *base == '\0') return {};
    return std::string(base) + "\\Quarvel";
}
