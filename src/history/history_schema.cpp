#include "history/history_schema.h"

#include <sqlite3.h>

#include <string>

#include "history/record_uuid.h"
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
    // Version 3: ids, technician, machine and sync state; the rows' ids are filled in by FillIds, then
    // kIndexesOfVersion3 orders by them.
    "ALTER TABLE reads ADD COLUMN uuid TEXT;"
    "ALTER TABLE reads ADD COLUMN technician TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE reads ADD COLUMN machine TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE reads ADD COLUMN synced INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE service_visits ADD COLUMN uuid TEXT;"
    "ALTER TABLE service_visits ADD COLUMN read_uuid TEXT;"
    "ALTER TABLE service_visits ADD COLUMN technician TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE service_visits ADD COLUMN machine TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE service_visits ADD COLUMN synced INTEGER NOT NULL DEFAULT 0;"
    "CREATE TABLE sync_state(name TEXT PRIMARY KEY, value TEXT NOT NULL);",
    // Version 4: what each read found against the read before it (a counter reset, a controller change),
    // and the index that finds a tool's resets for the cycles since service. Rows kept before get theirs
    // from kFactsOfVersion4.
    "ALTER TABLE reads ADD COLUMN reset_from INTEGER;"
    "ALTER TABLE reads ADD COLUMN controller_before TEXT NOT NULL DEFAULT '';"
    "CREATE INDEX reads_resets ON reads(tool_serial, controller_serial, uuid) WHERE reset_from IS NOT NULL;",
};

namespace {
// The last read of each tool, kept by a trigger as reads arrive (kept here or pulled from the server, in
// any order), so the fleet view reads one row per tool instead of every read.
constexpr const char* kIndexesOfVersion3 =
    "DROP INDEX reads_by_tool;"
    "DROP INDEX service_visits_by_tool;"
    "CREATE UNIQUE INDEX reads_by_uuid ON reads(uuid);"
    "CREATE INDEX reads_by_tool ON reads(tool_serial, controller_serial, uuid);"
    "CREATE INDEX reads_unsent ON reads(id) WHERE synced = 0;"
    "CREATE UNIQUE INDEX service_visits_by_uuid ON service_visits(uuid);"
    "CREATE INDEX service_visits_by_tool ON service_visits(tool_serial, controller_serial, read_uuid, uuid);"
    "CREATE INDEX service_visits_unsent ON service_visits(id) WHERE synced = 0;"
    "CREATE TABLE tool_last(tool_serial TEXT NOT NULL, controller_serial TEXT NOT NULL, uuid TEXT NOT NULL,"
    " PRIMARY KEY(tool_serial, controller_serial)) WITHOUT ROWID;"
    "INSERT INTO tool_last SELECT tool_serial, controller_serial, MAX(uuid) FROM reads"
    " GROUP BY tool_serial, controller_serial;"
    "CREATE TRIGGER reads_tool_last AFTER INSERT ON reads BEGIN"
    " INSERT INTO tool_last VALUES(NEW.tool_serial, NEW.controller_serial, NEW.uuid)"
    " ON CONFLICT(tool_serial, controller_serial) DO UPDATE SET uuid = excluded.uuid"
    " WHERE excluded.uuid > tool_last.uuid;"
    " END;";

// The facts of the reads kept before version 4, as a read kept now gets them (CHistoryStore::Insert).
constexpr const char* kFactsOfVersion4 =
    "WITH p AS (SELECT id,"
    " LAG(total_counter) OVER (PARTITION BY tool_serial, controller_serial ORDER BY uuid) AS total_before,"
    " LAG(controller_serial) OVER (PARTITION BY tool_serial ORDER BY uuid) AS controller_before FROM reads)"
    " UPDATE reads SET"
    " reset_from = CASE WHEN p.total_before > reads.total_counter THEN p.total_before END,"
    " controller_before = CASE WHEN p.controller_before <> reads.controller_serial THEN p.controller_before"
    " ELSE '' END"
    " FROM p WHERE p.id = reads.id";

// Gives every row kept before version 3 its id (in the order of the rows), technician and machine.
int FillIds(SqliteDb& db, const HistoryIdentity& who) {
    for (const char* table : {"reads", "service_visits"}) {
        const std::string select = std::string("SELECT id, ") +
                                   (table[0] == 'r' ? "read_at" : "serviced_at") + " FROM " + table +
                                   " ORDER BY id";
        const std::string update =
            std::string("UPDATE ") + table + " SET uuid = ?1, technician = ?2, machine = ?3 WHERE id = ?4";
        SqliteStatement rows(db, select.c_str());
        SqliteStatement set(db, update.c_str());
        if (rows.PrepareCode() != SQLITE_OK) return rows.PrepareCode();
        if (set.PrepareCode() != SQLITE_OK) return set.PrepareCode();
        int code;
        while ((code = rows.Step()) == SQLITE_ROW) {
            set.Reset();
            set.Bind(1, UuidForOldRecord(rows.Text(1), rows.Int(0)));
            set.Bind(2, who.technician);
            set.Bind(3, who.machine);
            set.Bind(4, rows.Int(0));
            if ((code = set.Step()) != SQLITE_DONE) return code;
        }
        if (code != SQLITE_DONE) return code;
    }
    // A visit counts from the read it was tied to; one whose read is gone counts from its own time.
    return db.Exec(
        "UPDATE service_visits SET read_uuid = COALESCE((SELECT r.uuid FROM reads r WHERE r.id = read_id), "
        "uuid)");
}

int RunStep(SqliteDb& db, int step, const HistoryIdentity& who) {
    int code = db.Exec(kHistorySchemaSteps[step]);
    if (code == SQLITE_OK && step == 2) code = FillIds(db, who);
    if (code == SQLITE_OK && step == 2) code = db.Exec(kIndexesOfVersion3);
    if (code == SQLITE_OK && step == 3) code = db.Exec(kFactsOfVersion4);
    return code;
}
}  // namespace

int MigrateHistorySchema(SqliteDb& db, const HistoryIdentity& who, int* fileVersion, std::string* error) {
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
            code = RunStep(db, step, who);
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
