#pragma once
// One stored read of a tool and one row of a history view: plain values, any thread.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "record/tool_record.h"

struct HistoryRead {
    std::string
        uuid;  // the read's id everywhere (see record_uuid.h); made with readAt, from one clock reading
    std::string readAt;  // UTC, ISO 8601 to the second: "2026-12-09T15:41:49Z"
    std::string toolModel, toolSerial, controllerSerial, firmwareVersion;  // UTF-8
    std::uint32_t cycleCounter = 0, totalCounter = 0, positionCounts = 0, forceReading = 0;
    std::uint32_t forceFactor = 0, forceDivisor = 0, cycleFlags = 0;
    std::string deviceInfo;   // the 16 bytes of the 'D' reply
    std::string port;         // the device path, e.g. /dev/ttyUSB0
    std::uint32_t speed = 0;  // bits per second
    // Who read the tool and on which machine (MachineId); the store fills them in when they are empty.
    std::string technician, machine;
    // What the read found against the read of the same tool before it, noted when it is kept (and kept
    // with it everywhere it travels): the total counter before a reset (the counter was lower than the
    // previous read's of the same tool and controller), and the controller serial before a controller
    // change (the tool was last read with another controller). The store fills them in.
    std::optional<std::int64_t> resetFrom;
    std::string controllerBefore;
};

// A service visit: the tool's cycles are counted afresh from the total counter of the read `readUuid`.
struct HistoryVisit {
    std::string uuid, toolSerial, controllerSerial, readUuid, servicedAt;
    std::int64_t totalCounter = 0;
    std::string note, technician, machine;
};

// Where a tool stands against the service plan (service_plan.h).
enum class ServiceState { None, NotDue, DueSoon, Due };  // None: no limit is set
enum class ServiceLimit { Cycles, Days };

struct ServiceStanding {
    ServiceState state = ServiceState::None;
    ServiceLimit limit = ServiceLimit::Cycles;  // the limit nearest to (or furthest past) its end
    std::int64_t value = 0, of = 0;             // cycles or days since service, and the limit
    double used = 0;                            // the larger share of a limit used: 1 when reached
};

// A read as a view shows it, with what is derived from the reads and service visits before it.
struct HistoryRow {
    std::int64_t id = 0;
    HistoryRead read;
    // Total-counter cycles since the previous read of the same tool and controller; none for its first
    // read and for a read whose counter was reset.
    std::optional<std::int64_t> cyclesSincePrevious;
    bool counterReset = false;  // the total counter is lower than the previous read's (or noted so)
    // Total-counter cycles since the last service visit, or since new (the total counter) without one;
    // across a reset, the cycles before it and the counter after it.
    std::int64_t cyclesSinceService = 0;
    // The time the service days count from: the last visit's, or the tool's first read without one.
    std::string serviceSince;
    std::int64_t daysSinceService = 0;
    ServiceStanding standing;
    bool serviceDue = false;  // standing.state == Due
};

// The current time as HistoryRead::readAt writes it.
std::string HistoryNow();
// `when` as HistoryRead::readAt writes it.
std::string HistoryTime(std::chrono::system_clock::time_point when);
// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SS..." (UTC); -1 when it is not such a time.
std::int64_t HistorySeconds(const std::string& at);
// A history time in local time, as strftime's `format` (a language's own, see IDS_DATE_FORMAT) writes it;
// the history time itself when it is none or the format is refused.
std::string HistoryLocalTime(const std::string& historyTime, const char* format);
// True for "YYYY-MM-DD" and "YYYY-MM-DDTHH:MM:SS" with an optional "Z": the forms --since takes.
bool IsHistoryDate(const std::string& text);
// Bits per second of a speed index 0..9 (1200 ... 115200); 0 outside.
std::uint32_t HistorySpeedOfIndex(int speedIndex);
// A read of the record taken now on `port` at `speed`, with its id (technician and machine left empty).
HistoryRead HistoryReadFromRecord(const ToolRecord& record, const std::string& port, std::uint32_t speed);
