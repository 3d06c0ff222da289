#include "platform/text/local_time.h"

#include <cstring>
#include <ctime>

namespace {
// Only the conversions every C library knows: the format may come from a language pack, and the
// Windows C library ends the program on one it does not know.
bool KnownConversions(const char* format) {
    for (const char* at = std::strchr(format, '%'); at != nullptr; at = std::strchr(at + 2, '%')) {
        if (at[1] == '\0' || std::strchr("aAbBdHIjmMpSyY%", at[1]) == nullptr) return false;
    }
    return true;
}
}  // namespace

std::string LocalTimeText(const char* format) { return LocalTimeTextAt(std::time(nullptr), format); }

std::string LocalTimeTextAt(long long unixSeconds, const char* format) {
    std::tm local{};
    if (!KnownConversions(format) || !LocalCalendarTime(static_cast<std::time_t>(unixSeconds), &local))
        return {};
    char text[128] = {};
    return std::strftime(text, sizeof text, format, &local) == 0 ? std::string() : std::string(text);
}
