// The team history's figures of bench/run, one JSON object per figure on standard output:
//   bench_team CLUSTER_DIR RECORDS
// against the private cluster in CLUSTER_DIR (tests/support/pg-cluster; its port and superuser password):
// the push of a backlog of RECORDS reads kept offline (PushTeamRecords: batches of 1000, each one
// transaction of INSERT ... ON CONFLICT DO NOTHING, marked sent after its COMMIT) beside a bare COPY of
// the same rows into a table of the same shape; the pull of those RECORDS reads into a new laptop's store
// (PullTeamRecords: pages of 5000 by the cursor, each kept with it in one local transaction) beside a bare
// COPY of the same rows out of the server; and what the window's thread pays per read with the sync
// thread running (the writer's queue push and the sync thread's wake-up) beside the queue push alone.
#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "figure.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "history/read_statement.h"
#include "history/record_uuid.h"
#include "sample_read.h"
#include "team/team_schema.h"
#include "team/team_sync.h"
#include "team/team_sync_thread.h"

namespace fs = std::filesystem;

namespace {
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string FirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

HistoryRead Sample(int i) {
    HistoryRead r = SampleRead(i % 2000, static_cast<std::uint32_t>(i));
    r.technician = "Ann Lee";
    r.machine = "0123456789abcdef0123456789abcdef";
    return r;
}

// One row of COPY's text format for the reads table's columns, as the push sends them.
std::string CopyRow(const HistoryRead& r) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex = "\\\\x";
    for (unsigned char c : r.deviceInfo) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    std::string row = r.uuid + '\t' + r.readAt + '\t' + r.toolModel + '\t' + r.toolSerial + '\t' +
                      r.controllerSerial + '\t' + r.firmwareVersion;
    for (std::uint32_t n : {r.cycleCounter, r.totalCounter, r.positionCounts, r.forceReading, r.forceFactor,
                            r.forceDivisor, r.cycleFlags})
        row += '\t' + std::to_string(n);
    return row + '\t' + hex + '\t' + r.port + '\t' + std::to_string(r.speed) + '\t' + r.technician + '\t' +
           r.machine + '\n';
}

bool Ok(PGresult* result) {
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
    if (!ok) std::fprintf(stderr, "bench_team: %s", PQresultErrorMessage(result));
    PQclear(result);
    return ok;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_team CLUSTER_DIR RECORDS\n");
        return 2;
    }
    const fs::path cluster = argv[1];
    const int records = std::max(1, std::atoi(argv[2]));
    const std::string server = "host=127.0.0.1 port=" + FirstLine(cluster / "port") +
                               " user=postgres sslmode=disable password=" + FirstLine(cluster / "password");
    const std::string database = "bench_" + std::to_string(::getpid());
    {
        CPgConnection admin;
        if (admin.Connect({server + " dbname=postgres"}).Failed() ||
            admin.Exec("CREATE DATABASE " + database).Failed())
            return 1;
        int before = 0;
        if (admin.Connect({server + " dbname=" + database}).Failed() ||
            InitTeamSchema(admin, &before).Failed())
            return 1;
    }
    const fs::path folder = fs::temp_directory_path() / ("quarvel-bench-team-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    TeamSyncOptions laptop;
    laptop.connect.conninfo = server + " dbname=" + database;
    laptop.store.path = (folder / "a.sqlite3").string();

    // The backlog: RECORDS reads kept offline, in one local transaction.
    std::vector<HistoryRead> rows;
    rows.reserve(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) rows.push_back(Sample(i));
    if (!CHistoryStore(laptop.store).Insert(rows[0]).ok) return 1;
    {
        SqliteDb db;
        if (db.Open(laptop.store.path, false, 2000) != 0 || db.Exec("BEGIN") != 0) return 1;
        SqliteStatement s(db, kInsertReadSql);
        for (int i = 1; i < records; ++i) {
            BindRead(s, rows[static_cast<std::size_t>(i)], false);
            if (s.Step() != 101 /* SQLITE_DONE */) return 1;
            s.Reset();
        }
        if (db.Exec("COMMIT") != 0) return 1;
    }

    // The floor of the push: the same rows by COPY into a table of the same shape, indexes and all.
    PGconn* raw = PQconnectdb(laptop.connect.conninfo.c_str());
    if (PQstatus(raw) != CONNECTION_OK ||
        !Ok(PQexec(raw, "CREATE TABLE reads_copy (LIKE reads INCLUDING ALL)")))
        return 1;
    auto t0 = Clock::now();
    if (PQresultStatus(
            PQexec(raw,
                   "COPY reads_copy(id, read_at, tool_model, tool_serial, controller_serial,"
                   " firmware_version, cycle_counter, total_counter, position_counts, force_reading,"
                   " force_factor, force_divisor, cycle_flags, device_info, port, speed, technician,"
                   " machine) FROM STDIN")) != PGRES_COPY_IN)
        return 1;
    std::string chunk;
    for (const HistoryRead& r : rows) {
        chunk += CopyRow(r);
        if (chunk.size() > 1 << 20) {
            if (PQputCopyData(raw, chunk.data(), static_cast<int>(chunk.size())) != 1) return 1;
            chunk.clear();
        }
    }
    if (PQputCopyData(raw, chunk.data(), static_cast<int>(chunk.size())) != 1 ||
        PQputCopyEnd(raw, nullptr) != 1 || !Ok(PQgetResult(raw)))
        return 1;
    const double copyIn = Seconds(Clock::now() - t0);

    TeamSyncCounts counts;
    t0 = Clock::now();
    if (PushTeamRecords(laptop, &counts).Failed() || counts.pushedNew != static_cast<std::size_t>(records))
        return 1;
    const double push = Seconds(Clock::now() - t0);
    Figure("team_push_100k_backlog", push * 100000.0 / records, "s", "bare COPY of the same rows",
           copyIn * 100000.0 / records, "< 10 s");

    // The floor of the pull: the same rows, converted as the pull converts them, by COPY out.
    t0 = Clock::now();
    if (PQresultStatus(
            PQexec(raw,
                   "COPY (SELECT tx::text, seq, id::text,"
                   " to_char(read_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), tool_model,"
                   " tool_serial, controller_serial, firmware_version, cycle_counter, total_counter,"
                   " position_counts, force_reading, force_factor, force_divisor, cycle_flags,"
                   " encode(device_info, 'hex'), port, speed, technician, machine FROM reads"
                   " ORDER BY tx, seq) TO STDOUT")) != PGRES_COPY_OUT)
        return 1;
    std::size_t copied = 0;
    for (char* buffer = nullptr; PQgetCopyData(raw, &buffer, 0) > 0; PQfreemem(buffer)) ++copied;
    if (!Ok(PQgetResult(raw)) || copied != static_cast<std::size_t>(records)) return 1;
    const double copyOut = Seconds(Clock::now() - t0);
    PQfinish(raw);

    TeamSyncOptions other = laptop;
    other.store.path = (folder / "b.sqlite3").string();
    t0 = Clock::now();
    if (PullTeamRecords(other, &counts).Failed() || counts.pulledNew != static_cast<std::size_t>(records))
        return 1;
    const double pull = Seconds(Clock::now() - t0);
    Figure("team_pull_100k", pull * 100000.0 / records, "s", "bare COPY out of the same rows",
           copyOut * 100000.0 / records, "< 10 s");

    // The window's thread per read: the writer's queue push, and with the sync thread's wake-up beside it.
    std::vector<double> alone, withWake;
    {
        CHistoryWriter writer(laptop.store);
        writer.Start();
        CTeamSyncThread sync(0);
        sync.Start(laptop);
        for (int i = 0; i < 400; ++i) {
            HistoryRead read = Sample(records + i);
            const bool wake = i % 2 == 1;
            const auto start = Clock::now();
            writer.Submit(std::move(read));
            if (wake) sync.Wake();
            (wake ? withWake : alone)
                .push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            writer.WaitIdle(5000);
        }
        sync.Stop(std::chrono::seconds(10));
    }
    Figure("team_ui_thread_per_read_p99", Percentile(withWake, 0.99), "ms", "the writer's queue push alone",
           Percentile(alone, 0.99), "unchanged");
    fs::remove_all(folder);
    CPgConnection admin;
    if (!admin.Connect({server + " dbname=postgres"}).Failed()) admin.Exec("DROP DATABASE " + database);
    return 0;
}
