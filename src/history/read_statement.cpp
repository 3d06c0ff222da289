#include "history/read_statement.h"

#define READ_COLUMNS_AND_VALUES                                                                              \
    "reads(read_at, tool_model, tool_serial, controller_serial, firmware_version,"                           \
    " cycle_counter, total_counter, position_counts, force_reading, force_factor, force_divisor,"            \
    " cycle_flags, device_info, port, speed, uuid, technician, machine, synced, reset_from,"                 \
    " controller_before) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17," \
    " ?18, ?19, ?20, ?21)"

const char* const kInsertReadSql = "INSERT INTO " READ_COLUMNS_AND_VALUES;
const char* const kInsertPulledReadSql = "INSERT OR IGNORE INTO " READ_COLUMNS_AND_VALUES;

void BindRead(SqliteStatement& s, const HistoryRead& read, bool synced) {
    s.Bind(1, read.readAt);
    s.Bind(2, read.toolModel);
    s.Bind(3, read.toolSerial);
    s.Bind(4, read.controllerSerial);
    s.Bind(5, read.firmwareVersion);
    const std::uint32_t numbers[] = {read.cycleCounter, read.totalCounter, read.positionCounts,
                                     read.forceReading, read.forceFactor,  read.forceDivisor,
                                     read.cycleFlags};
    for (int i = 0; i < 7; ++i) s.Bind(6 + i, static_cast<std::int64_t>(numbers[i]));
    s.BindBlob(13, read.deviceInfo);
    s.Bind(14, read.port);
    s.Bind(15, static_cast<std::int64_t>(read.speed));
    s.Bind(16, read.uuid);
    s.Bind(17, read.technician);
    s.Bind(18, read.machine);
    s.Bind(19, std::int64_t{synced ? 1 : 0});
    if (read.resetFrom)
        s.Bind(20, *read.resetFrom);
    else
        s.BindNull(20);
    s.Bind(21, read.controllerBefore);
}
