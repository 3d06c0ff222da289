#include "team/team_sync.h"

#include <cstdio>

#include "platform/text/utf8.h"
#include "team/team_schema.h"

// The pull's cursor. Rows are numbered by a sequence (`seq`) as they are inserted, but transactions
// commit in any order, so a row with a lower number may become visible after one with a higher number
// was pulled: a cursor on `seq` alone would skip it for ever. Each row therefore also carries the id of
// the transaction that added it (`tx`), and a pull takes only rows whose transaction is older than every
// transaction still running (pg_snapshot_xmin of the current snapshot): those rows are all visible and no
// more can appear among them. Ordered by (tx, seq), the last row pulled is the cursor; rows of a
// transaction still running are taken by a later pull.
namespace {

constexpr const char* kReadColumns =
    "id, read_at, tool_model, tool_serial, controller_serial, firmware_version, cycle_counter, total_counter,"
    " position_counts, force_reading, force_factor, force_divisor, cycle_flags, device_info, port, speed,"
    " technician, machine, reset_from, controller_before";
constexpr int kReadParams = 20;
constexpr const char* kVisitColumns =
    "id, tool_serial, controller_serial, read_id, serviced_at, total_counter, note, technician, machine";
constexpr int kVisitParams = 9;

constexpr const char* kPullReadsSql =
    "SELECT tx::text, seq, id::text, to_char(read_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'),"
    " tool_model, tool_serial, controller_serial, firmware_version, cycle_counter, total_counter,"
    " position_counts, force_reading, force_factor, force_divisor, cycle_flags, encode(device_info, 'hex'), "
    "port,"
    " speed, technician, machine, COALESCE(reset_from::text, ''), controller_before FROM reads"
    " WHERE (tx, seq) > ($1::xid8, $2::bigint) AND tx < pg_snapshot_xmin(pg_current_snapshot())"
    " ORDER BY tx, seq LIMIT $3";
constexpr const char* kPullVisitsSql =
    "SELECT tx::text, seq, id::text, tool_serial, controller_serial, read_id::text,"
    " to_char(serviced_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), total_counter, note, "
    "technician,"
    " machine FROM service_visits"
    " WHERE (tx, seq) > ($1::xid8, $2::bigint) AND tx < pg_snapshot_xmin(pg_current_snapshot())"
    " ORDER BY tx, seq LIMIT $3";

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex = "\\x";
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string Unhex(const std::string& hex) {
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(value(hex[i]) * 16 + value(hex[i + 1])));
    return bytes;
}

// "INSERT INTO table(columns) SELECT * FROM unnest($1::uuid[], $2::text[], ...) ON CONFLICT (id) DO
// NOTHING": a batch as one array per column, so the statement has a handful of parameters however many
// rows it carries (a VALUES list of thousands of parameters costs the server more to plan than to insert).
std::string InsertSql(const char* table, const char* columns, int params, const char* const* types) {
    std::string sql = std::string("INSERT INTO ") + table + "(" + columns + ") SELECT * FROM unnest(";
    for (int p = 0; p < params; ++p)
        sql += (p ? ", $" : "$") + std::to_string(p + 1) + "::" + types[p] + "[]";
    return sql + ") ON CONFLICT (id) DO NOTHING";
}

// A value that stands for NULL: no text sent is ever this, since texts are made valid UTF-8 first.
const std::string kNullValue = "\xFF";

// The rows' values (row after row, `params` each) as one array literal per column.
std::vector<std::string> ColumnArrays(const std::vector<std::string>& values, int params) {
    std::vector<std::string> arrays(static_cast<std::size_t>(params), "{");
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::string& array = arrays[i % static_cast<std::size_t>(params)];
        if (array.size() > 1) array += ',';
        if (values[i] == kNullValue) {
            array += "NULL";
            continue;
        }
        array += '"';
        for (char c : values[i]) {
            if (c == '"' || c == '\\') array += '\\';
            array += c;
        }
        array += '"';
    }
    for (std::string& array : arrays) array += '}';
    return arrays;
}

const char* const kReadTypes[kReadParams] = {
    "uuid",   "timestamptz", "text",   "text",  "text", "text",   "bigint", "bigint", "bigint", "bigint",
    "bigint", "bigint",      "bigint", "bytea", "text", "bigint", "text",   "text",   "bigint", "text"};
const char* const kVisitTypes[kVisitParams] = {"uuid",   "text", "text", "uuid", "timestamptz",
                                               "bigint", "text", "text", "text"};

void AddReadParams(const HistoryRead& r, std::vector<std::string>& p) {
    for (const std::string& text :
         {r.uuid, r.readAt, r.toolModel, r.toolSerial, r.controllerSerial, r.firmwareVersion})
        p.push_back(ValidUtf8(text));
    for (std::uint32_t n : {r.cycleCounter, r.totalCounter, r.positionCounts, r.forceReading, r.forceFactor,
                            r.forceDivisor, r.cycleFlags})
        p.push_back(std::to_string(n));
    p.push_back(Hex(r.deviceInfo));
    p.push_back(ValidUtf8(r.port));
    p.push_back(std::to_string(r.speed));
    p.push_back(ValidUtf8(r.technician));
    p.push_back(ValidUtf8(r.machine));
    p.push_back(r.resetFrom ? std::to_string(*r.resetFrom) : kNullValue);
    p.push_back(ValidUtf8(r.controllerBefore));
}

void AddVisitParams(const HistoryVisit& v, std::vector<std::string>& p) {
    for (const std::string& text : {v.uuid, v.toolSerial, v.controllerSerial, v.readUuid, v.servicedAt})
        p.push_back(ValidUtf8(text));
    p.push_back(std::to_string(v.totalCounter));
    p.push_back(ValidUtf8(v.note));
    p.push_back(ValidUtf8(v.technician));
    p.push_back(ValidUtf8(v.machine));
}

TeamError LocalFailure(const HistoryStatus& status) { return {TeamProblem::LocalStore, status.message}; }

// Sends one batch in one transaction; the rows the server did not have yet are added to *added.
TeamError PushBatch(CPgConnection& server, const std::vector<HistoryRead>& reads,
                    const std::vector<HistoryVisit>& visits, std::size_t* added) {
    if (TeamError e = server.Exec("BEGIN"); e.Failed()) return e;
    TeamError error;
    CPgResult result;
    if (!reads.empty()) {
        std::vector<std::string> values;
        values.reserve(reads.size() * kReadParams);
        for (const HistoryRead& r : reads) AddReadParams(r, values);
        error = server.Exec(InsertSql("reads", kReadColumns, kReadParams, kReadTypes),
                            ColumnArrays(values, kReadParams), &result);
        if (!error.Failed()) *added += static_cast<std::size_t>(result.Affected());
    }
    if (!error.Failed() && !visits.empty()) {
        std::vector<std::string> values;
        for (const HistoryVisit& v : visits) AddVisitParams(v, values);
        error = server.Exec(InsertSql("service_visits", kVisitColumns, kVisitParams, kVisitTypes),
                            ColumnArrays(values, kVisitParams), &result);
        if (!error.Failed()) *added += static_cast<std::size_t>(result.Affected());
    }
    if (!error.Failed()) error = server.Exec("COMMIT");
    if (error.Failed() && server.IsOpen()) server.Exec("ROLLBACK");
    return error;
}

// A batch is marked sent only once the server has committed it: a round cut off before that sends the
// same records again, which the server skips.
TeamError PushAll(CPgConnection& server, CHistoryStore& store, std::size_t batch, TeamSyncCounts* counts) {
    for (;;) {
        std::vector<HistoryRead> reads;
        std::vector<HistoryVisit> visits;
        if (HistoryStatus s = store.Unsent(batch, reads, visits); !s.ok) return LocalFailure(s);
        if (reads.empty() && visits.empty()) return {};
        if (TeamError e = PushBatch(server, reads, visits, &counts->pushedNew); e.Failed()) return e;
        if (HistoryStatus s = store.MarkSent(reads, visits); !s.ok) return LocalFailure(s);
        counts->pushed += reads.size() + visits.size();
    }
}

struct Cursor {
    std::string tx = "0";
    std::string seq = "0";
};

Cursor ReadCursor(CHistoryStore& store, const char* name) {
    std::string value;
    store.SyncValue(name, &value);
    const std::size_t colon = value.find(':');
    if (colon == std::string::npos) return {};
    return {value.substr(0, colon), value.substr(colon + 1)};
}

HistoryRead PulledRead(const CPgResult& r, int row) {
    HistoryRead read;
    read.uuid = r.Text(row, 2);
    read.readAt = r.Text(row, 3);
    read.toolModel = r.Text(row, 4);
    read.toolSerial = r.Text(row, 5);
    read.controllerSerial = r.Text(row, 6);
    read.firmwareVersion = r.Text(row, 7);
    std::uint32_t* numbers[] = {&read.cycleCounter, &read.totalCounter, &read.positionCounts,
                                &read.forceReading, &read.forceFactor,  &read.forceDivisor,
                                &read.cycleFlags};
    for (int i = 0; i < 7; ++i)
        *numbers[i] = static_cast<std::uint32_t>(std::stoull("0" + r.Text(row, 8 + i)));
    read.deviceInfo = Unhex(r.Text(row, 15));
    read.port = r.Text(row, 16);
    read.speed = static_cast<std::uint32_t>(std::stoull("0" + r.Text(row, 17)));
    read.technician = r.Text(row, 18);
    read.machine = r.Text(row, 19);
    if (!r.Text(row, 20).empty()) read.resetFrom = std::stoll(r.Text(row, 20));
    read.controllerBefore = r.Text(row, 21);
    return read;
}

HistoryVisit PulledVisit(const CPgResult& r, int row) {
    return {r.Text(row, 2), r.Text(row, 3), r.Text(row, 4),
            r.Text(row, 5), r.Text(row, 6), std::stoll("0" + r.Text(row, 7)),
            r.Text(row, 8), r.Text(row, 9), r.Text(row, 10)};
}

// Pulls one table until it has nothing new; each page is kept here with its cursor in one transaction.
template <typename Convert>
TeamError PullTable(CPgConnection& server, CHistoryStore& store, const char* sql, const char* cursorName,
                    std::size_t batch, Convert convert, TeamSyncCounts* counts) {
    Cursor cursor = ReadCursor(store, cursorName);
    for (;;) {
        CPgResult page;
        if (TeamError e = server.Exec(sql, {cursor.tx, cursor.seq, std::to_string(batch)}, &page); e.Failed())
            return e;
        if (page.Rows() == 0) return {};
        std::vector<HistoryRead> reads;
        std::vector<HistoryVisit> visits;
        for (int row = 0; row < page.Rows(); ++row) convert(page, row, reads, visits);
        cursor = {page.Text(page.Rows() - 1, 0), page.Text(page.Rows() - 1, 1)};
        std::size_t added = 0;
        const HistoryStatus kept =
            store.KeepPulled(reads, visits, {{cursorName, cursor.tx + ":" + cursor.seq}}, &added);
        if (!kept.ok) return LocalFailure(kept);
        counts->pulled += static_cast<std::size_t>(page.Rows());
        counts->pulledNew += added;
        if (static_cast<std::size_t>(page.Rows()) < batch) return {};
    }
}

// Connects and checks the schema. The pull's cursors and the sent marks belong to one server's history:
// when the server's history is another than the one this laptop last synced with (a new server, a
// history made anew), both start over, so nothing is skipped and nothing stays unsent.
TeamError Connect(CPgConnection& server, const PgConnectOptions& options, CHistoryStore& store) {
    if (TeamError e = server.Connect(options); e.Failed()) return e;
    std::string historyId;
    if (TeamError e = CheckTeamSchema(server, &historyId); e.Failed()) return e;
    std::string known;
    if (HistoryStatus s = store.SyncValue(kSyncServerId, &known); !s.ok) return LocalFailure(s);
    if (known == historyId) return {};
    if (HistoryStatus s = store.ResetSync(historyId); !s.ok) return LocalFailure(s);
    return {};
}

// Keeps the round's outcome in the store; a store that cannot take it changes nothing of the outcome.
void NoteOutcome(CHistoryStore& store, const TeamError& error) {
    const std::string now = HistoryNow();
    std::vector<std::pair<std::string, std::string>> values = {
        {kSyncLastAttempt, now},
        {kSyncLastProblem, TeamProblemName(error.problem)},
        {kSyncLastError, error.detail}};
    if (!error.Failed()) values.emplace_back(kSyncLastSuccess, now);
    store.SetSyncValues(values);
}
}  // namespace

namespace {
enum Steps { kPush = 1, kPull = 2 };

TeamError PullAll(CPgConnection& server, CHistoryStore& store, std::size_t batch, TeamSyncCounts* counts) {
    TeamError error = PullTable(
        server, store, kPullReadsSql, kSyncReadCursor, batch,
        [](const CPgResult& page, int row, std::vector<HistoryRead>& reads, std::vector<HistoryVisit>&) {
            reads.push_back(PulledRead(page, row));
        },
        counts);
    if (error.Failed()) return error;
    return PullTable(
        server, store, kPullVisitsSql, kSyncVisitCursor, batch,
        [](const CPgResult& page, int row, std::vector<HistoryRead>&, std::vector<HistoryVisit>& visits) {
            visits.push_back(PulledVisit(page, row));
        },
        counts);
}

TeamError Round(const TeamSyncOptions& options, int steps, TeamSyncCounts* counts) {
    *counts = {};
    if (options.beforeRound) options.beforeRound();
    CHistoryStore store(options.store);
    CPgConnection server;
    TeamError error = Connect(server, options.connect, store);
    if (!error.Failed() && (steps & kPush)) error = PushAll(server, store, options.pushBatch, counts);
    if (!error.Failed() && (steps & kPull)) error = PullAll(server, store, options.pullBatch, counts);
    server.Close();
    if (error.problem != TeamProblem::Stopped) NoteOutcome(store, error);
    store.UnsentCount(&counts->waiting);
    return error;
}
}  // namespace

TeamError RunTeamSync(const TeamSyncOptions& options, TeamSyncCounts* counts) {
    return Round(options, kPush | kPull, counts);
}

TeamError PushTeamRecords(const TeamSyncOptions& options, TeamSyncCounts* counts) {
    return Round(options, kPush, counts);
}

TeamError PullTeamRecords(const TeamSyncOptions& options, TeamSyncCounts* counts) {
    return Round(options, kPull, counts);
}

TeamError PushTeamReads(const TeamSyncOptions& options, const std::vector<HistoryRead>& reads,
                        TeamSyncCounts* counts) {
    *counts = {};
    if (reads.empty()) return {};
    CHistoryStore store(options.store);
    CPgConnection server;
    TeamError error = Connect(server, options.connect, store);
    for (std::size_t at = 0; !error.Failed() && at < reads.size(); at += options.pushBatch) {
        const std::vector<HistoryRead> batch(
            reads.begin() + static_cast<std::ptrdiff_t>(at),
            reads.begin() + static_cast<std::ptrdiff_t>(std::min(reads.size(), at + options.pushBatch)));
        error = PushBatch(server, batch, {}, &counts->pushedNew);
        if (!error.Failed()) {
            if (HistoryStatus s = store.MarkSent(batch, {}); !s.ok) error = LocalFailure(s);
            counts->pushed += batch.size();
        }
    }
    server.Close();
    return error;
}

TeamError TestTeamServer(const PgConnectOptions& options, std::string* summary) {
    summary->clear();
    CPgConnection server;
    std::string historyId;
    if (TeamError e = server.Connect(options); e.Failed()) return e;
    if (TeamError e = CheckTeamSchema(server, &historyId); e.Failed()) return e;
    CPgResult result;
    TeamError error = server.Exec(
        "SELECT has_table_privilege('reads', 'INSERT') AND has_table_privilege('service_visits', 'INSERT'),"
        " (SELECT COUNT(*) FROM reads), (SELECT COUNT(DISTINCT (tool_serial, controller_serial)) FROM reads)",
        {}, &result);
    if (error.Failed()) return error;
    if (result.Text(0, 0) != "t")
        return {TeamProblem::Refused,
                "this user may not add records (grant it the quarvel_technicians role)"};
    *summary =
        server.ServerAddress() + ", " + result.Text(0, 1) + " reads of " + result.Text(0, 2) + " tools";
    return {};
}

TeamError LastTeamError(const HistorySyncState& state) {
    const TeamProblem problem = TeamProblemFromName(state.lastProblem);
    if (problem == TeamProblem::None) return {};
    return {problem, state.lastError};
}
