// The history figures of bench/run, one JSON object per figure on standard output (as bench_figures):
//   bench_history READS TOOLS INSERTS
// fills a new store in a temporary folder with READS reads of TOOLS tools (one transaction, the store's own
// schema), then measures INSERTS single inserts through CHistoryStore::Insert (each its own transaction,
// as every read is written) beside the floor of a bare prepared INSERT in SQLite, the time
// CHistoryWriter::Submit takes on the caller's (the window's) thread, the fleet view and one tool's view
// (each with a fresh store, so opening the file is included) beside a plain scan of every row, the CLI's
// open-and-insert per record, and the file's size once the log is checkpointed.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "figure.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "history/read_statement.h"
#include "history/record_uuid.h"
#include "history/service_plan.h"
#include "sample_read.h"

namespace fs = std::filesystem;

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int tools = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    const int inserts = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1000;
    const fs::path folder =
        fs::temp_directory_path() / ("quarvel-bench-history-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const std::string path = (folder / "history.sqlite3").string();
    HistoryStoreOptions options{path, 2000, 0, "", ""};

    // The store creates the file and its schema; the reads go in through one transaction.
    if (!CHistoryStore(options).Insert(SampleRead(0, 0)).ok) return 1;
    {
        SqliteDb db;
        if (db.Open(path, false, 2000) != 0 || db.Exec("BEGIN") != 0) return 1;
        SqliteStatement s(db, kInsertReadSql);
        for (int i = 1; i < reads; ++i) {
            BindRead(s, SampleRead(i % tools, static_cast<std::uint32_t>(i / tools) * 250), false);
            if (s.Step() != 101 /* SQLITE_DONE */) return 1;
            s.Reset();
        }
        if (db.Exec("COMMIT") != 0 || db.Exec("PRAGMA wal_checkpoint(TRUNCATE)") != 0) return 1;
    }
    const double megabytes = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
    Figure("history_file_size_per_100k_reads", megabytes * 100000.0 / reads, "MiB", "-", 0, "-");

    // One-tool and fleet views, each with a fresh store (open, schema check, query), beside a scan.
    std::vector<double> fleet, one, scan;
    for (int run = 0; run < 7; ++run) {
        std::vector<HistoryRow> rows;
        auto t0 = Clock::now();
        if (!CHistoryStore(options).Fleet("", CyclesPlan(100000), rows).ok ||
            static_cast<int>(rows.size()) != tools)
            return 1;
        fleet.push_back(Ms(Clock::now() - t0));
        t0 = Clock::now();
        if (!CHistoryStore(options)
                 .Tool(SampleRead(run * 37 % tools, 0).toolSerial, "", CyclesPlan(100000), rows)
                 .ok)
            return 1;
        one.push_back(Ms(Clock::now() - t0));
        t0 = Clock::now();
        SqliteDb db;
        db.Open(path, false, 2000);
        SqliteStatement s(db, "SELECT * FROM reads");
        std::int64_t sum = 0;
        while (s.Step() == 100 /* SQLITE_ROW */) sum += s.Int(7);
        scan.push_back(Ms(Clock::now() - t0));
        if (sum < 0) return 1;
    }
    Figure("history_fleet_view_median", Percentile(fleet, 0.5), "ms", "scan of every row",
           Percentile(scan, 0.5), "< 200 ms");
    Figure("history_tool_view_median", Percentile(one, 0.5), "ms", "scan of every row", Percentile(scan, 0.5),
           "< 200 ms");

    // `history --due`: the fleet under a plan of cycles and days, the tools due or due soon, most overdue
    // first.
    std::vector<double> due;
    ServicePlan plan;
    plan.cycles = 100000;
    plan.days = 365;
    for (int run = 0; run < 7; ++run) {
        std::vector<HistoryRow> rows;
        const auto t0 = Clock::now();
        if (!CHistoryStore(options).Fleet("", plan, rows).ok) return 1;
        rows = DueRows(std::move(rows));
        due.push_back(Ms(Clock::now() - t0));
    }
    Figure("history_due_list_median", Percentile(due, 0.5), "ms", "fleet view", Percentile(fleet, 0.5),
           "< 200 ms");

    // One tool read 10,000 times with a service visit after each read: the view must stay linear.
    {
        const std::string busyPath = (folder / "busy-tool.sqlite3").string();
        HistoryStoreOptions busy{busyPath, 2000, 0, "", ""};
        if (!CHistoryStore(busy).Insert(SampleRead(0, 0)).ok) return 1;
        SqliteDb db;
        if (db.Open(busyPath, false, 2000) != 0 || db.Exec("BEGIN") != 0) return 1;
        SqliteStatement s(db, kInsertReadSql);
        SqliteStatement visit(
            db,
            "INSERT INTO service_visits(tool_serial, controller_serial, read_id, serviced_at,"
            " total_counter, note, uuid, read_uuid) VALUES(?1, ?2, ?3, ?4, ?5, '', ?6, ?7)");
        const HistoryRead first = SampleRead(0, 0);
        for (int i = 1; i <= 10000; ++i) {
            const HistoryRead read = SampleRead(0, static_cast<std::uint32_t>(i) * 100);
            BindRead(s, read, false);
            if (s.Step() != 101) return 1;
            s.Reset();
            visit.Bind(1, first.toolSerial);
            visit.Bind(2, first.controllerSerial);
            visit.Bind(3, static_cast<std::int64_t>(i + 1));
            visit.Bind(4, first.readAt);
            visit.Bind(5, static_cast<std::int64_t>(i) * 100);
            visit.Bind(6, NewRecordUuid(std::chrono::system_clock::now()));
            visit.Bind(7, read.uuid);
            if (visit.Step() != 101) return 1;
            visit.Reset();
        }
        if (db.Exec("COMMIT") != 0) return 1;
        std::vector<double> views;
        for (int run = 0; run < 5; ++run) {
            std::vector<HistoryRow> rows;
            const auto t0 = Clock::now();
            if (!CHistoryStore(busy).Tool(first.toolSerial, "", CyclesPlan(100000), rows).ok ||
                rows.size() != 10001)
                return 1;
            views.push_back(Ms(Clock::now() - t0));
        }
        Figure("history_tool_view_10k_reads_10k_visits_median", Percentile(views, 0.5), "ms",
               "scan of every row", Percentile(scan, 0.5), "< 200 ms");
    }

    // Single inserts as reads write them, beside a bare prepared INSERT on its own connection.
    std::vector<double> mine, floor;
    {
        CHistoryStore store(options);
        SqliteDb db;
        db.Open(path, false, 2000);
        db.Exec("PRAGMA synchronous = NORMAL");
        for (int i = 0; i < inserts; ++i) {
            const HistoryRead read = SampleRead(i % tools, 1000000 + i);
            auto t0 = Clock::now();
            if (!store.Insert(read).ok) return 1;
            mine.push_back(Ms(Clock::now() - t0));
            SqliteStatement s(db, kInsertReadSql);
            HistoryRead again = read;
            again.uuid = NewRecordUuid(std::chrono::system_clock::now());
            t0 = Clock::now();
            BindRead(s, again, false);
            if (s.Step() != 101) return 1;
            floor.push_back(Ms(Clock::now() - t0));
        }
    }
    Figure("history_insert_median", Percentile(mine, 0.5), "ms", "bare prepared INSERT",
           Percentile(floor, 0.5), "-");
    Figure("history_insert_p99", Percentile(mine, 0.99), "ms", "bare prepared INSERT",
           Percentile(floor, 0.99), "< 5 ms");

    // quarvel-cli's cost per printed record: a fresh store opens the file, checks the schema and inserts.
    std::vector<double> opened;
    for (int i = 0; i < 100; ++i) {
        const auto t0 = Clock::now();
        if (!CHistoryStore(options).Insert(SampleRead(i % tools, 3000000 + i)).ok) return 1;
        opened.push_back(Ms(Clock::now() - t0));
    }
    Figure("history_open_and_insert_p99", Percentile(opened, 0.99), "ms", "-", 0, "-");

    // What the window's thread pays per read: a queue push.
    std::vector<double> submit;
    {
        CHistoryWriter writer(options);
        writer.Start();
        for (int i = 0; i < 200; ++i) {
            const HistoryRead read = SampleRead(i % tools, 2000000 + i);
            const auto t0 = Clock::now();
            writer.Submit(read);
            submit.push_back(Ms(Clock::now() - t0));
            writer.WaitIdle(5000);
        }
    }
    Figure("history_submit_ui_thread_p99", Percentile(submit, 0.99), "ms", "-", 0, "a few ms");
    fs::remove_all(folder);
    return 0;
}
