#include "history/history_read.h"

#include <chrono>
#include <cstdio>

#include "history/record_uuid.h"
#include "platform/text/local_time.h"
#include "platform/text/utf8.h"

namespace {
template <std::size_t N>
std::string Text(const char16_t (&buffer)[N]) {
    std::size_t length = 0;
    while (length < N && buffer[length] != u'\0') ++length;
    return Utf16ToUtf8(std::u16string_view(buffer, length));
}

bool Digits(const std::string& text, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    return true;
}
}  // namespace

std::string HistoryNow() { return HistoryTime(std::chrono::system_clock::now()); }

std::string HistoryTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto now = floor<seconds>(when);
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::int64_t HistorySeconds(const std::string& at) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(at.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6) return -1;
    using namespace std::chrono;
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (!date.ok()) return -1;
    return sys_days(date).time_since_epoch() / seconds(1) + h * 3600 + mi * 60 + s;
}

std::string HistoryLocalTime(const std::string& historyTime, const char* format) {
    const std::int64_t seconds = HistorySeconds(historyTime);
    const std::string local = seconds < 0 ? std::string() : LocalTimeTextAt(seconds, format);
    return local.empty() ? historyTime : local;
}

bool IsHistoryDate(const std::string& t) {
    const bool date =
        Digits(t, 0, 4) && t.size() >= 10 && t[4] == '-' && Digits(t, 5, 2) && t[7] == '-' && Digits(t, 8, 2);
    if (!date) return false;
    if (t.size() == 10) return true;
    const bool time = t.size() >= 19 && t[10] == 'T' && Digits(t, 11, 2) && t[13] == ':' &&
                      Digits(t, 14, 2) && t[16] == ':' && Digits(t, 17, 2);
    return time && (t.size() == 19 || (t.size() == 20 && t[19] == 'Z'));
}

HistoryRead HistoryReadFromRecord(const ToolRecord& r, const std::string& port, std::uint32_t speed) {
    HistoryRead read;
    const auto now = std::chrono::system_clock::now();
    read.uuid = NewRecordUuid(now);
    read.readAt = HistoryTime(now);
    read.toolModel = Text(r.ToolModel);
    read.toolSerial = Text(r.ToolSerial);
    read.controllerSerial = Text(r.ControllerSerial);
    read.firmwareVersion = Text(r.FirmwareVersion);
    read.cycleCounter = r.CycleCounter;
    read.totalCounter = r.TotalCounter;
    read.positionCounts = r.PositionCounts;
    read.forceReading = r.ForceReading;
    read.forceFactor = r.ForceFactor;
    read.forceDivisor = r.ForceDivisor;
    read.cycleFlags = r.CycleFlags;
    read.deviceInfo.assign(reinterpret_cast<const char*>(r.DeviceInfo), sizeof r.DeviceInfo);
    read.port = port;
    read.speed = speed;
    return read;
}

std::uint32_t HistorySpeedOfIndex(int speedIndex) {
    static constexpr std::uint32_t kSpeeds[10] = {1200,  2400,  4800,  9600,  14400,
                                                  19200, 21600, 38400, 57600, 115200};
    return speedIndex >= 0 && speedIndex < 10 ? kSpeeds[speedIndex] : 0;
}
