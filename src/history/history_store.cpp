#include "history/history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>

#include "history/history_schema.h"
#include "history/read_statement.h"
#include "history/record_uuid.h"
#include "history/service_plan.h"
#include "platform/files/file_identity.h"
#include "platform/files/state_dir.h"
#include "platform/system/identity.h"

namespace fs = std::filesystem;

namespace {
// The columns every view selects, in the order RowFrom reads them, then the previous read's and the
// last service visit's total counter.
#define HISTORY_COLUMNS                                                                                 \
    "r.id, r.read_at, r.tool_model, r.tool_serial, r.controller_serial, r.firmware_version,"            \
    " r.cycle_counter, r.total_counter, r.position_counts, r.force_reading, r.force_factor,"            \
    " r.force_divisor, r.cycle_flags, r.device_info, r.port, r.speed, r.uuid, r.technician, r.machine," \
    " r.reset_from, r.controller_before"

// Reads and visits are ordered by their ids, which sort in the order they were made (record_uuid.h).
// A read counts from the visit tied to the latest read at or before it (of those, the last made): the
// cycles since then are its total counter less the visit's, plus the counter before each reset since
// (the index of resets finds them); the days count from the visit, or from the tool's first read.
constexpr const char* kFleetSql =
    "SELECT " HISTORY_COLUMNS
    ","
    " (SELECT p.total_counter FROM reads p WHERE p.tool_serial = r.tool_serial"
    "  AND p.controller_serial = r.controller_serial AND p.uuid < r.uuid ORDER BY p.uuid DESC LIMIT 1),"
    " v.total_counter,"
    " (SELECT SUM(x.reset_from) FROM reads x WHERE x.tool_serial = r.tool_serial"
    "  AND x.controller_serial = r.controller_serial AND x.reset_from IS NOT NULL"
    "  AND x.uuid > COALESCE(v.read_uuid, '') AND x.uuid <= r.uuid),"
    " COALESCE(v.serviced_at, (SELECT f.read_at FROM reads f WHERE f.tool_serial = r.tool_serial"
    "  AND f.controller_serial = r.controller_serial ORDER BY f.uuid LIMIT 1))"
    " FROM tool_last t JOIN reads r ON r.uuid = t.uuid"
    " LEFT JOIN service_visits v ON v.uuid = (SELECT s.uuid FROM service_visits s"
    "  WHERE s.tool_serial = r.tool_serial AND s.controller_serial = r.controller_serial"
    "  AND s.read_uuid <= r.uuid ORDER BY s.read_uuid DESC, s.uuid DESC LIMIT 1)"
    " WHERE r.read_at >= ?1"
    " ORDER BY t.tool_serial, t.controller_serial";
// One tool's reads with the previous read's total counter of the same controller; the service visits,
// the resets and the days are merged in by Tool in one pass (a subquery per read grew with reads x visits).
constexpr const char* kToolSql =
    "SELECT " HISTORY_COLUMNS
    ","
    " LAG(r.total_counter) OVER (PARTITION BY r.controller_serial ORDER BY r.uuid), NULL, NULL, NULL"
    " FROM reads r WHERE r.tool_serial = ?1 ORDER BY r.uuid";
// The tool's visits in the order they take effect: each from the read it counts from on.
constexpr const char* kToolVisitsSql =
    "SELECT controller_serial, read_uuid, total_counter, serviced_at FROM service_visits"
    " WHERE tool_serial = ?1 ORDER BY read_uuid, uuid";
// What a new read is compared with: the controller of the tool's read before it (from each controller's
// last read), and the total counter of the read before it with the same controller.
constexpr const char* kBeforeSql =
    "SELECT (SELECT controller_serial FROM tool_last WHERE tool_serial = ?1 AND uuid < ?3"
    "  ORDER BY uuid DESC LIMIT 1),"
    " (SELECT total_counter FROM reads WHERE tool_serial = ?1 AND controller_serial = ?2 AND uuid < ?3"
    "  ORDER BY uuid DESC LIMIT 1)";
constexpr const char* kVisitSql =
    "INSERT INTO service_visits(tool_serial, controller_serial, read_id, read_uuid, serviced_at, "
    "total_counter,"
    " note, uuid, technician, machine)"
    " SELECT tool_serial, controller_serial, id, uuid, ?2, total_counter, ?3, ?4, ?5, ?6 FROM reads"
    " WHERE tool_serial = ?1 AND controller_serial = ?7 ORDER BY uuid DESC LIMIT 1";

HistoryRow RowFrom(const SqliteStatement& s, const ServicePlan& plan) {
    HistoryRow row;
    row.id = s.Int(0);
    HistoryRead& r = row.read;
    r.readAt = s.Text(1);
    r.toolModel = s.Text(2);
    r.toolSerial = s.Text(3);
    r.controllerSerial = s.Text(4);
    r.firmwareVersion = s.Text(5);
    r.cycleCounter = static_cast<std::uint32_t>(s.Int(6));
    r.totalCounter = static_cast<std::uint32_t>(s.Int(7));
    r.positionCounts = static_cast<std::uint32_t>(s.Int(8));
    r.forceReading = static_cast<std::uint32_t>(s.Int(9));
    r.forceFactor = static_cast<std::uint32_t>(s.Int(10));
    r.forceDivisor = static_cast<std::uint32_t>(s.Int(11));
    r.cycleFlags = static_cast<std::uint32_t>(s.Int(12));
    r.deviceInfo = s.Text(13);
    r.port = s.Text(14);
    r.speed = static_cast<std::uint32_t>(s.Int(15));
    r.uuid = s.Text(16);
    r.technician = s.Text(17);
    r.machine = s.Text(18);
    if (!s.IsNull(19)) r.resetFrom = s.Int(19);
    r.controllerBefore = s.Text(20);
    const std::int64_t total = r.totalCounter;
    // A counter lower than the previous read's is a reset even where none was noted (a read kept by a
    // program before the facts were): never a negative number of cycles.
    row.counterReset = r.resetFrom.has_value() || (!s.IsNull(21) && s.Int(21) > total);
    if (!s.IsNull(21) && !row.counterReset) row.cyclesSincePrevious = total - s.Int(21);
    row.cyclesSinceService = total - (s.IsNull(22) ? 0 : s.Int(22)) + (s.IsNull(23) ? 0 : s.Int(23));
    row.serviceSince = s.IsNull(24) ? r.readAt : s.Text(24);
    ApplyServicePlan(plan, row);
    return row;
}

HistoryCause CauseOf(int code) {
    switch (code) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return HistoryCause::Locked;
        case SQLITE_FULL:
            return HistoryCause::Full;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            return HistoryCause::ReadOnly;
        case SQLITE_CORRUPT:
            return HistoryCause::Damaged;
        case SQLITE_NOTADB:
            return HistoryCause::NotADatabase;
        default:
            return HistoryCause::Other;
    }
}

// "20261209T154149Z" from "2026-12-09T15:41:49Z": a file-name-friendly time.
std::string CompactTime() {
    std::string compact;
    for (char c : HistoryNow())
        if (c != '-' && c != ':') compact.push_back(c);
    return compact;
}
}  // namespace

std::string DefaultHistoryPath() {
    const std::string folder = QuarvelStateDirectory();
    return folder.empty() ? std::string() : folder + "/history.sqlite3";
}

CHistoryStore::CHistoryStore(HistoryStoreOptions options) : m_options(std::move(options)) {
    if (m_options.path.empty()) m_options.path = DefaultHistoryPath();
    if (m_options.technician.empty()) m_options.technician = AccountDisplayName();
    if (m_options.machine.empty()) m_options.machine = MachineId();
}

HistoryStatus CHistoryStore::Failure(const std::string& what, int code) {
    std::string reason = m_db.MessageFor(code);
    m_db.Close();  // the next use opens afresh
    return {false, what + " " + m_options.path + ": " + reason, CauseOf(code)};
}

HistoryStatus CHistoryStore::VersionRefused(int version) {
    m_db.Close();
    if (version < 0) {
        return {false, m_options.path + " has an invalid schema version " + std::to_string(version),
                HistoryCause::NotADatabase};
    }
    return {false,
            m_options.path + " has schema version " + std::to_string(version) +
                ", newer than this program's " + std::to_string(kHistorySchemaVersion),
            HistoryCause::Newer};
}

HistoryStatus CHistoryStore::OpenOnce(bool create, int* code) {
    *code = m_db.Open(m_options.path, create, m_options.busyTimeoutMs);
    if (*code != SQLITE_OK) return Failure("cannot open", *code);
    // The journal mode is the first statement that reads the file, so a file that is not a database
    // fails here (SQLITE_NOTADB).
    if ((*code = m_db.Exec("PRAGMA journal_mode = WAL")) != SQLITE_OK) return Failure("cannot open", *code);
    if (m_options.maxPageCount > 0) {
        const std::string limit = "PRAGMA max_page_count = " + std::to_string(m_options.maxPageCount);
        m_db.Exec(limit.c_str());
    }
    m_db.Exec("PRAGMA synchronous = NORMAL");
    int version = 0;
    std::string why;
    *code = MigrateHistorySchema(m_db, {m_options.technician, m_options.machine}, &version, &why);
    if (*code == SQLITE_MISMATCH) return VersionRefused(version);
    if (*code != SQLITE_OK && !why.empty()) {
        m_db.Close();
        return {false, "cannot prepare " + m_options.path + ": " + why, CauseOf(*code)};
    }
    if (*code != SQLITE_OK) return Failure("cannot prepare", *code);
    m_writable = true;
    m_identity = IdentifyFile(m_options.path);
    return {};
}

HistoryStatus CHistoryStore::OpenForReading(bool* exists) {
    *exists = true;
    if (m_db.IsOpen()) return {};
    if (m_options.path.empty()) return {false, "no home folder for the history", HistoryCause::Other};
    std::error_code ec;
    if (!fs::exists(m_options.path, ec)) {
        *exists = false;  // a view of a missing file is an empty history, and creates nothing
        return {};
    }
    // Read-only first; where even the -shm file cannot be made (a read-only folder, a full disk) the file
    // is read as it is. The version is the first read of the file, so a file that is no database fails here.
    int code = SQLITE_OK;
    std::optional<std::int64_t> version;
    for (const bool immutable : {false, true}) {
        code = m_db.OpenReadOnly(m_options.path, immutable, m_options.busyTimeoutMs);
        if (code == SQLITE_OK) version = m_db.QueryInt("PRAGMA user_version", &code);
        if (version || IsDamagedCode(code)) break;
    }
    if (!version) {
        if (!IsDamagedCode(code)) return Failure("cannot open", code);
        m_db.Close();
        if (HistoryStatus aside = SetAside(); !aside.ok) return aside;
        *exists = false;  // the damaged file is set aside; no new one is made for a view
        return {};
    }
    if (*version > kHistorySchemaVersion || *version < 0) return VersionRefused(static_cast<int>(*version));
    m_writable = false;
    if (*version == kHistorySchemaVersion) return {};
    // An older file is brought up to date first, which needs the write access a view can do without.
    m_db.Close();
    return EnsureOpen(false, exists);
}

HistoryStatus CHistoryStore::EnsureOpen(bool create, bool* exists) {
    if (exists) *exists = true;
    // A file another connection set aside (damaged) is no longer the history, though this connection
    // still reaches it: the rows go to the file that now stands at the path.
    if (m_db.IsOpen() && m_writable && IdentifyFile(m_options.path) == m_identity) return {};
    m_db.Close();  // a connection opened for reading, or to a file set aside, is opened again
    if (m_options.path.empty()) return {false, "no home folder for the history", HistoryCause::Other};
    std::error_code ec;
    if (!create && !fs::exists(m_options.path, ec)) {
        if (exists) *exists = false;
        return {};
    }
    const fs::path folder = fs::path(m_options.path).parent_path();
    if (create && !folder.empty() && !fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) return {false, "cannot create " + folder.string() + ": " + ec.message(), HistoryCause::Other};
    }
    int code = SQLITE_OK;
    HistoryStatus status = OpenOnce(create, &code);
    if (status.ok || !IsDamagedCode(code)) return status;
    if (HistoryStatus aside = SetAside(); !aside.ok) return aside;
    return OpenOnce(true, &code);
}

HistoryStatus CHistoryStore::SetAside() {
    m_db.Close();
    const std::string target = m_options.path + ".damaged-" + CompactTime();
    std::error_code ec;
    fs::rename(m_options.path, target, ec);
    if (ec)
        return {false, "cannot rename the damaged " + m_options.path + ": " + ec.message(),
                HistoryCause::Other};
    // The damaged file's log and index belong with it, not with the new file.
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (fs::exists(m_options.path + suffix, ignored))
            fs::rename(m_options.path + suffix, target + suffix, ignored);
    }
    m_setAside = target;
    return {};
}

HistoryStatus CHistoryStore::Insert(const HistoryRead& read, HistoryRead* kept) {
    HistoryRead row = read;
    if (row.uuid.empty()) row.uuid = NewRecordUuid(std::chrono::system_clock::now());
    if (row.technician.empty()) row.technician = m_options.technician;
    if (row.machine.empty()) row.machine = m_options.machine;
    for (int attempt = 0;; ++attempt) {
        if (HistoryStatus status = EnsureOpen(true); !status.ok) return status;
        const int code = InsertRow(row);
        if (code == SQLITE_DONE) {
            if (kept) *kept = std::move(row);
            return {};
        }
        // A file found damaged only now (a page the open did not read) is set aside once.
        if (attempt == 0 && IsDamagedCode(code)) {
            if (HistoryStatus aside = SetAside(); !aside.ok) return aside;
            continue;
        }
        return Failure("cannot write", code);
    }
}

int CHistoryStore::InsertRow(HistoryRead& read) {
    // The statements are finalized when this returns, before a damaged file is set aside.
    {
        SqliteStatement before(m_db, kBeforeSql);
        if (before.PrepareCode() != SQLITE_OK) return before.PrepareCode();
        before.Bind(1, read.toolSerial);
        before.Bind(2, read.controllerSerial);
        before.Bind(3, read.uuid);
        const int code = before.Step();
        if (code != SQLITE_ROW) return code;
        read.controllerBefore.clear();
        if (!before.IsNull(0) && before.Text(0) != read.controllerSerial)
            read.controllerBefore = before.Text(0);
        read.resetFrom.reset();
        if (!before.IsNull(1) && before.Int(1) > static_cast<std::int64_t>(read.totalCounter))
            read.resetFrom = before.Int(1);
    }
    SqliteStatement s(m_db, kInsertReadSql);
    const int code = s.PrepareCode();
    if (code != SQLITE_OK) return code;
    BindRead(s, read, false);
    return s.Step();
}

HistoryStatus CHistoryStore::AddServiceVisit(const std::string& toolSerial,
                                             const std::string& controllerSerial, const std::string& note,
                                             const std::string& servicedAt, HistoryVisitOutcome* outcome) {
    *outcome = {};
    if (HistoryStatus status = EnsureOpen(true); !status.ok) return status;
    int code = SQLITE_OK;
    std::vector<std::int64_t> lastTotals;
    {
        SqliteStatement controllers(
            m_db,
            "SELECT t.controller_serial, r.total_counter FROM tool_last t"
            " JOIN reads r ON r.uuid = t.uuid WHERE t.tool_serial = ?1 ORDER BY t.uuid DESC");
        code = controllers.PrepareCode();
        if (code == SQLITE_OK) controllers.Bind(1, toolSerial);
        while (code == SQLITE_OK && (code = controllers.Step()) == SQLITE_ROW) {
            outcome->controllers.push_back(controllers.Text(0));
            lastTotals.push_back(controllers.Int(1));
            code = SQLITE_OK;
        }
    }
    if (code != SQLITE_DONE) return Failure("cannot read", code);
    const auto& seen = outcome->controllers;
    auto chosen = seen.end();
    if (!controllerSerial.empty())
        chosen = std::find(seen.begin(), seen.end(), controllerSerial);
    else if (seen.size() == 1)
        chosen = seen.begin();
    if (chosen == seen.end()) return {};  // no such read, or several controllers to choose from
    outcome->controller = *chosen;
    outcome->totalCounter = lastTotals[static_cast<std::size_t>(chosen - seen.begin())];
    {
        SqliteStatement s(m_db, kVisitSql);
        code = s.PrepareCode();
        if (code == SQLITE_OK) {
            s.Bind(1, toolSerial);
            s.Bind(2, servicedAt);
            s.Bind(3, note);
            outcome->uuid = NewRecordUuid(std::chrono::system_clock::now());
            s.Bind(4, outcome->uuid);
            s.Bind(5, m_options.technician);
            s.Bind(6, m_options.machine);
            s.Bind(7, outcome->controller);
            code = s.Step();
        }
    }
    if (code != SQLITE_DONE) return Failure("cannot write", code);
    outcome->found = sqlite3_changes(m_db.Handle()) > 0;
    return {};
}

HistoryStatus CHistoryStore::Query(const char* sql, const std::vector<std::string>& texts,
                                   const ServicePlan& plan, std::vector<HistoryRow>& rows) {
    rows.clear();
    bool exists = true;
    if (HistoryStatus status = OpenForReading(&exists); !status.ok || !exists) return status;
    int code = SQLITE_OK;
    {
        // The statement is finalized before a failure is handled: a damaged file is renamed only once
        // nothing holds it open (Windows renames no open file).
        SqliteStatement s(m_db, sql);
        code = s.PrepareCode();
        for (std::size_t i = 0; code == SQLITE_OK && i < texts.size(); ++i)
            s.Bind(static_cast<int>(i + 1), texts[i]);
        while (code == SQLITE_OK && (code = s.Step()) == SQLITE_ROW) {
            rows.push_back(RowFrom(s, plan));
            code = SQLITE_OK;
        }
    }
    if (code != SQLITE_DONE) {
        rows.clear();
        return ReadFailure(code);
    }
    return {};
}

HistoryStatus CHistoryStore::ReadFailure(int code) {
    // A page found damaged only by this query: the file is set aside as an open or an insert does, so
    // that no more reads are written into it; the view is then empty.
    if (IsDamagedCode(code)) {
        m_db.Close();
        return SetAside();
    }
    return Failure("cannot read", code);
}

HistoryStatus CHistoryStore::Fleet(const std::string& since, const ServicePlan& plan,
                                   std::vector<HistoryRow>& rows) {
    return Query(kFleetSql, {since}, plan, rows);
}

HistoryStatus CHistoryStore::Tool(const std::string& toolSerial, const std::string& since,
                                  const ServicePlan& plan, std::vector<HistoryRow>& rows) {
    if (HistoryStatus status = Query(kToolSql, {toolSerial}, plan, rows); !status.ok || rows.empty())
        return status;
    // The visits, in the order they take effect, merged into the reads (both ordered) in one pass: each
    // read counts from the last visit of its controller made at or before it, plus the resets after it.
    struct Count {
        std::int64_t visitTotal = 0, resets = 0;
        std::string since;  // the visit's time, or the first read's
    };
    std::map<std::string, Count> counts;  // by controller serial
    int code = SQLITE_OK;
    bool pending = false;
    {
        SqliteStatement visits(m_db, kToolVisitsSql);
        code = visits.PrepareCode();
        if (code == SQLITE_OK) visits.Bind(1, toolSerial);
        pending = code == SQLITE_OK && (code = visits.Step()) == SQLITE_ROW;
        for (HistoryRow& row : rows) {
            const auto [at, first] = counts.try_emplace(row.read.controllerSerial);
            if (first) at->second.since = row.read.readAt;
            if (row.read.resetFrom) at->second.resets += *row.read.resetFrom;
            for (; pending && visits.Text(1) <= row.read.uuid;
                 pending = (code = visits.Step()) == SQLITE_ROW) {
                counts[visits.Text(0)] = {visits.Int(2), 0, visits.Text(3)};
            }
            const Count& count = counts[row.read.controllerSerial];
            row.cyclesSinceService =
                static_cast<std::int64_t>(row.read.totalCounter) - count.visitTotal + count.resets;
            row.serviceSince = count.since;
            ApplyServicePlan(plan, row);
        }
    }
    if (!pending && code != SQLITE_DONE && code != SQLITE_OK) {
        rows.clear();
        return ReadFailure(code);
    }
    std::erase_if(rows, [&](const HistoryRow& row) { return row.read.readAt < since; });
    return {};
}

HistoryStatus CHistoryStore::Visits(const std::string& toolSerial, std::vector<HistoryVisit>& visits) {
    visits.clear();
    bool exists = true;
    if (HistoryStatus status = OpenForReading(&exists); !status.ok || !exists) return status;
    int code = SQLITE_OK;
    {
        SqliteStatement s(
            m_db,
            "SELECT uuid, tool_serial, controller_serial, read_uuid, serviced_at, total_counter, note,"
            " technician, machine FROM service_visits WHERE tool_serial = ?1 ORDER BY read_uuid, uuid");
        code = s.PrepareCode();
        if (code == SQLITE_OK) s.Bind(1, toolSerial);
        while (code == SQLITE_OK && (code = s.Step()) == SQLITE_ROW) {
            visits.push_back({s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Int(5), s.Text(6),
                              s.Text(7), s.Text(8)});
            code = SQLITE_OK;
        }
    }
    if (code != SQLITE_DONE) {
        visits.clear();
        return ReadFailure(code);
    }
    return {};
}
