#include "platform/text/local_time.h"

#include <ctime>

std::string LocalTimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return {};
    char text[64] = {};
    return std::strftime(text, sizeof text, format, &local) == 0 ? std::string() : std::string(text);
}
