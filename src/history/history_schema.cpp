#include "history/history_schema.h"

#include <sqlite3.h>

#include <string>

#include "history/sqlite_db.h"

const char* const kHistorySchemaSteps[kHistorySchemaVersion] = {
    // Version 1: one row per successful read.
    "CREATE TABLE reads("
    " id INTEGER PRIMARY KEY,"
    " read_at TEXT NOT NULL,"
    " tool_model TEXT NOT NULL, tool_serial TEXT NOT NULL,"
    " controller_serial TEXT NOT NULL, firmware_version TEXT NOT NULL,"
    " cycle_counter INTEGER NOT NULL, total_counter INTEGER NOT NULL, position_counts INTEGER NOT NULL,"
    " force_reading INTEGER NOT NULL, force_factor INTEGER NOT NULL, force_divisor INTEGER NOT NULL,"
    " cycle_flags INTEGER NOT NULL, device_info BLOB NOT NULL, port TEXT NOT NULL, speed INTEGER NOT NULL);",
    // Version 2: service visits, each tied to the read whose total counter it starts from, and the
    // index that finds a tool's reads (the fleet view's last and previous read) without a scan.
    "CREATE TABLE service_visits("
    " id INTEGER PRIMARY KEY,"
    " tool_serial TEXT NOT NULL, controller_serial TEXT NOT NULL,"
    " read_id INTEGER NOT NULL, serviced_at TEXT NOT NULL, total_counter INTEGER NOT NULL, note TEXT NOT "
    "NULL);"
    "CREATE INDEX service_visits_by_tool ON service_visits(tool_serial, controller_serial, id);"
    "CREATE INDEX reads_by_tool ON reads(tool_serial, controller_serial, id);",
};

int MigrateHistorySchema(SqliteDb& db, int* fileVersion, std::string* error) {
    int code = SQLITE_OK;
    auto version = db.QueryInt("PRAGMA user_version", &code);
    if (!version) return code;
    *fileVersion = static_cast<int>(*version);
    if (*version == kHistorySchemaVersion) return SQLITE_OK;
    if (*version > kHistorySchemaVersion || *version < 0) return SQLITE_MISMATCH;

    // Another process may be migrating the same file: the write lock decides, then look again.
    if ((code = db.Exec("BEGIN IMMEDIATE")) != SQLITE_OK) return code;
    version = db.QueryInt("PRAGMA user_version", &code);
    if (version && *version >= 0 && *version < kHistorySchemaVersion) {
        for (auto step = *version; step < kHistorySchemaVersion && code == SQLITE_OK; ++step)
            code = db.Exec(kHistorySchemaSteps[step]);
        if (code == SQLITE_OK)
            code = db.Exec(("PRAGMA user_version = " + std::to_string(kHistorySchemaVersion)).c_str());
    } else if (version && *version != kHistorySchemaVersion) {
        code = SQLITE_MISMATCH;
        *fileVersion = static_cast<int>(*version);
    }
    if (code == SQLITE_OK) code = db.Exec("COMMIT");
    if (code != SQLITE_OK) {
        *error = db.MessageFor(code);  // before the rollback, which leaves "not an error"
        db.Exec("ROLLBACK");
        return code;
    }
    *fileVersion = kHistorySchemaVersion;
    return SQLITE_OK;
}
