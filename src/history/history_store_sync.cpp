// The store's side of the team's history: what waits for the server, what came from it, the sync's
// values. Each write is one transaction, so a sync cut off at any point leaves the file consistent: a
// record is marked sent only after the server's commit, and pulled records arrive with their cursor.
#include <sqlite3.h>

#include "history/history_store.h"
#include "history/read_statement.h"

namespace {
constexpr const char* kUnsentReadsSql =
    "SELECT read_at, tool_model, tool_serial, controller_serial, firmware_version, cycle_counter,"
    " total_counter, position_counts, force_reading, force_factor, force_divisor, cycle_flags, device_info,"
    " port, speed, uuid, technician, machine, reset_from, controller_before FROM reads WHERE synced = 0"
    " ORDER BY id LIMIT ?1";
constexpr const char* kUnsentVisitsSql =
    "SELECT uuid, tool_serial, controller_serial, read_uuid, serviced_at, total_counter, note, technician,"
    " machine FROM service_visits WHERE synced = 0 ORDER BY id LIMIT ?1";
constexpr const char* kInsertPulledVisitSql =
    "INSERT OR IGNORE INTO service_visits(uuid, tool_serial, controller_serial, read_id, read_uuid, "
    "serviced_at,"
    " total_counter, note, technician, machine, synced)"
    " VALUES(?1, ?2, ?3, COALESCE((SELECT id FROM reads WHERE uuid = ?4), 0), ?4, ?5, ?6, ?7, ?8, ?9, 1)";
constexpr const char* kSetValueSql = "INSERT OR REPLACE INTO sync_state(name, value) VALUES(?1, ?2)";

HistoryRead UnsentRead(const SqliteStatement& s) {
    HistoryRead r;
    r.readAt = s.Text(0);
    r.toolModel = s.Text(1);
    r.toolSerial = s.Text(2);
    r.controllerSerial = s.Text(3);
    r.firmwareVersion = s.Text(4);
    std::uint32_t* numbers[] = {&r.cycleCounter, &r.totalCounter, &r.positionCounts, &r.forceReading,
                                &r.forceFactor,  &r.forceDivisor, &r.cycleFlags};
    for (int i = 0; i < 7; ++i) *numbers[i] = static_cast<std::uint32_t>(s.Int(5 + i));
    r.deviceInfo = s.Text(12);
    r.port = s.Text(13);
    r.speed = static_cast<std::uint32_t>(s.Int(14));
    r.uuid = s.Text(15);
    r.technician = s.Text(16);
    r.machine = s.Text(17);
    if (!s.IsNull(18)) r.resetFrom = s.Int(18);
    r.controllerBefore = s.Text(19);
    return r;
}

HistoryVisit UnsentVisit(const SqliteStatement& s) {
    return {s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Int(5), s.Text(6), s.Text(7), s.Text(8)};
}

int SetValues(SqliteDb& db, const std::vector<std::pair<std::string, std::string>>& values) {
    SqliteStatement set(db, kSetValueSql);
    int code = set.PrepareCode();
    for (std::size_t i = 0; code == SQLITE_OK && i < values.size(); ++i) {
        set.Reset();
        set.Bind(1, values[i].first);
        set.Bind(2, values[i].second);
        code = set.Step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db.Handle());
    }
    return code;
}
}  // namespace

template <typename Body>
HistoryStatus CHistoryStore::InTransaction(const char* what, Body body) {
    if (HistoryStatus status = EnsureOpen(true); !status.ok) return status;
    int code = m_db.Exec("BEGIN IMMEDIATE");
    if (code == SQLITE_OK) code = body();
    if (code == SQLITE_OK) code = m_db.Exec("COMMIT");
    if (code != SQLITE_OK) {
        HistoryStatus failure = Failure(what, code);  // the message before the rollback; closes the file,
        return failure;                               // which rolls back what was begun
    }
    return {};
}

HistoryStatus CHistoryStore::Unsent(std::size_t limit, std::vector<HistoryRead>& reads,
                                    std::vector<HistoryVisit>& visits) {
    reads.clear();
    visits.clear();
    bool exists = true;
    if (HistoryStatus status = EnsureOpen(false, &exists); !status.ok || !exists) return status;
    int code = SQLITE_OK;
    {
        SqliteStatement s(m_db, kUnsentReadsSql);
        code = s.PrepareCode();
        if (code == SQLITE_OK) s.Bind(1, static_cast<std::int64_t>(limit));
        while (code == SQLITE_OK && (code = s.Step()) == SQLITE_ROW) {
            reads.push_back(UnsentRead(s));
            code = SQLITE_OK;
        }
    }
    if (code == SQLITE_DONE && reads.size() < limit) {
        SqliteStatement s(m_db, kUnsentVisitsSql);
        code = s.PrepareCode();
        if (code == SQLITE_OK) s.Bind(1, static_cast<std::int64_t>(limit - reads.size()));
        while (code == SQLITE_OK && (code = s.Step()) == SQLITE_ROW) {
            visits.push_back(UnsentVisit(s));
            code = SQLITE_OK;
        }
    }
    if (code != SQLITE_DONE) {
        reads.clear();
        visits.clear();
        return Failure("cannot read", code);
    }
    return {};
}

HistoryStatus CHistoryStore::MarkSent(const std::vector<HistoryRead>& reads,
                                      const std::vector<HistoryVisit>& visits) {
    return InTransaction("cannot write", [&] {
        SqliteStatement read(m_db, "UPDATE reads SET synced = 1 WHERE uuid = ?1");
        SqliteStatement visit(m_db, "UPDATE service_visits SET synced = 1 WHERE uuid = ?1");
        if (read.PrepareCode() != SQLITE_OK) return read.PrepareCode();
        if (visit.PrepareCode() != SQLITE_OK) return visit.PrepareCode();
        for (const HistoryRead& r : reads) {
            read.Reset();
            read.Bind(1, r.uuid);
            if (read.Step() != SQLITE_DONE) return sqlite3_errcode(m_db.Handle());
        }
        for (const HistoryVisit& v : visits) {
            visit.Reset();
            visit.Bind(1, v.uuid);
            if (visit.Step() != SQLITE_DONE) return sqlite3_errcode(m_db.Handle());
        }
        return SQLITE_OK;
    });
}

HistoryStatus CHistoryStore::UnsentCount(std::int64_t* count) {
    *count = 0;
    bool exists = true;
    if (HistoryStatus status = OpenForReading(&exists); !status.ok || !exists) return status;
    int code = SQLITE_OK;
    const auto n = m_db.QueryInt(
        "SELECT (SELECT COUNT(*) FROM reads WHERE synced = 0) + (SELECT COUNT(*) FROM service_visits WHERE "
        "synced = 0)",
        &code);
    if (!n) return Failure("cannot read", code);
    *count = *n;
    return {};
}

HistoryStatus CHistoryStore::KeepPulled(const std::vector<HistoryRead>& reads,
                                        const std::vector<HistoryVisit>& visits,
                                        const std::vector<std::pair<std::string, std::string>>& values,
                                        std::size_t* added) {
    *added = 0;
    return InTransaction("cannot write", [&] {
        SqliteStatement read(m_db, kInsertPulledReadSql);
        SqliteStatement visit(m_db, kInsertPulledVisitSql);
        if (read.PrepareCode() != SQLITE_OK) return read.PrepareCode();
        if (visit.PrepareCode() != SQLITE_OK) return visit.PrepareCode();
        for (const HistoryRead& r : reads) {
            read.Reset();
            BindRead(read, r, true);
            if (read.Step() != SQLITE_DONE) return sqlite3_errcode(m_db.Handle());
            *added += static_cast<std::size_t>(sqlite3_changes(m_db.Handle()));
        }
        for (const HistoryVisit& v : visits) {
            visit.Reset();
            const std::string texts[] = {v.uuid, v.toolSerial, v.controllerSerial, v.readUuid, v.servicedAt};
            for (int i = 0; i < 5; ++i) visit.Bind(i + 1, texts[i]);
            visit.Bind(6, v.totalCounter);
            visit.Bind(7, v.note);
            visit.Bind(8, v.technician);
            visit.Bind(9, v.machine);
            if (visit.Step() != SQLITE_DONE) return sqlite3_errcode(m_db.Handle());
            *added += static_cast<std::size_t>(sqlite3_changes(m_db.Handle()));
        }
        return SetValues(m_db, values);
    });
}

HistoryStatus CHistoryStore::SyncValue(const std::string& name, std::string* value) {
    value->clear();
    bool exists = true;
    if (HistoryStatus status = OpenForReading(&exists); !status.ok || !exists) return status;
    SqliteStatement s(m_db, "SELECT value FROM sync_state WHERE name = ?1");
    int code = s.PrepareCode();
    if (code == SQLITE_OK) {
        s.Bind(1, name);
        code = s.Step();
    }
    if (code == SQLITE_ROW) *value = s.Text(0);
    if (code != SQLITE_ROW && code != SQLITE_DONE) return Failure("cannot read", code);
    return {};
}

HistoryStatus CHistoryStore::SetSyncValues(const std::vector<std::pair<std::string, std::string>>& values) {
    return InTransaction("cannot write", [&] { return SetValues(m_db, values); });
}

HistoryStatus CHistoryStore::ResetSync(const std::string& serverId) {
    return InTransaction("cannot write", [&] {
        for (const char* sql : {"UPDATE reads SET synced = 0 WHERE synced <> 0",
                                "UPDATE service_visits SET synced = 0 WHERE synced <> 0"})
            if (int code = m_db.Exec(sql); code != SQLITE_OK) return code;
        SqliteStatement forget(m_db, "DELETE FROM sync_state WHERE name IN (?1, ?2)");
        if (forget.PrepareCode() != SQLITE_OK) return forget.PrepareCode();
        forget.Bind(1, std::string(kSyncReadCursor));
        forget.Bind(2, std::string(kSyncVisitCursor));
        if (forget.Step() != SQLITE_DONE) return sqlite3_errcode(m_db.Handle());
        return SetValues(m_db, {{kSyncServerId, serverId}});
    });
}

HistoryStatus CHistoryStore::SyncState(HistorySyncState* state) {
    *state = {};
    const std::pair<const char*, std::string*> values[] = {{kSyncLastSuccess, &state->lastSuccess},
                                                           {kSyncLastAttempt, &state->lastAttempt},
                                                           {kSyncLastProblem, &state->lastProblem},
                                                           {kSyncLastError, &state->lastError}};
    for (const auto& [name, value] : values)
        if (HistoryStatus status = SyncValue(name, value); !status.ok) return status;
    return UnsentCount(&state->waiting);
}
