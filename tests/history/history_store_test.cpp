// The history store: schema and migration, a damaged file set aside, two processes writing at once, a
// store that cannot be written, the views' derived numbers and the writer thread.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "history/history_schema.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "history/record_uuid.h"
#include "history/service_plan.h"
#include "support/temp_config_home.h"

namespace fs = std::filesystem;

namespace {
HistoryRead Read(const std::string& tool, std::uint32_t total, const std::string& controller = "C-1") {
    HistoryRead r;
    r.readAt = HistoryNow();
    r.toolSerial = tool;
    r.controllerSerial = controller;
    r.toolModel = "RK-9";
    r.totalCounter = total;
    r.deviceInfo = std::string(16, '\0');
    r.port = "/dev/ttyUSB0";
    r.speed = 115200;
    return r;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class HistoryStore : public ::testing::Test {
protected:
    std::string Path() const { return DefaultHistoryPath(); }
    std::int64_t Count() {
        SqliteDb db;
        EXPECT_EQ(db.Open(Path(), false, 1000), 0);
        return db.QueryInt("SELECT COUNT(*) FROM reads").value_or(-1);
    }
    TempConfigHome home;
};
}  // namespace

TEST_F(HistoryStore, FirstUseCreatesTheFolderAndTheLatestSchemaInWalMode) {
#ifdef _WIN32
    EXPECT_EQ(Path(), home.Path() + "\\state\\Quarvel/history.sqlite3");  // %LOCALAPPDATA%\Quarvel
#else
    EXPECT_EQ(Path(), home.Path() + "/state/quarvel/history.sqlite3");
#endif
    CHistoryStore store;
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(store.Fleet("", CyclesPlan(0), rows).ok);
    EXPECT_FALSE(fs::exists(Path()));  // a view of no history creates nothing
    ASSERT_TRUE(store.Insert(Read("T-1", 10)).ok);
    SqliteDb db;
    ASSERT_EQ(db.Open(Path(), false, 1000), 0);
    EXPECT_EQ(db.QueryInt("PRAGMA user_version"), kHistorySchemaVersion);
    SqliteStatement mode(db, "PRAGMA journal_mode");
    ASSERT_EQ(mode.Step(), 100 /* SQLITE_ROW */);
    EXPECT_EQ(mode.Text(0), "wal");
}

TEST_F(HistoryStore, AVersionOneFileIsMigratedWithItsReads) {
    fs::create_directories(fs::path(Path()).parent_path());
    {
        SqliteDb db;
        ASSERT_EQ(db.Open(Path(), true, 1000), 0);
        ASSERT_EQ(db.Exec(kHistorySchemaSteps[0]), 0);
        ASSERT_EQ(db.Exec("PRAGMA user_version = 1"), 0);
        // The second row's counter went back; the third is the tool on another controller.
        ASSERT_EQ(db.Exec("INSERT INTO reads VALUES(1, '2026-01-01T00:00:00Z', 'RK-9', 'T-1', 'C-1', '1.04',"
                          " 5, 700, 0, 0, 0, 0, 1, x'00', '/dev/ttyS0', 9600),"
                          "(2, '2026-01-02T00:00:00Z', 'RK-9', 'T-1', 'C-1', '1.04', 5, 200, 0, 0, 0, 0, 1,"
                          " x'00', '/dev/ttyS0', 9600),"
                          "(3, '2026-01-03T00:00:00Z', 'RK-9', 'T-1', 'C-2', '1.04', 5, 50, 0, 0, 0, 0, 1,"
                          " x'00', '/dev/ttyS0', 9600)"),
                  0);
    }
    CHistoryStore store(HistoryStoreOptions{Path(), 2000, 0, "Ann Lee", "0123456789abcdef0123456789abcdef"});
    ASSERT_TRUE(store.Insert(Read("T-1", 1000)).ok);
    HistoryVisitOutcome visit;
    ASSERT_TRUE(store.AddServiceVisit("T-1", "", "", HistoryNow(), &visit).ok);
    EXPECT_FALSE(visit.found);  // two controllers: which one?
    EXPECT_EQ(visit.controllers, (std::vector<std::string>{"C-1", "C-2"}));
    ASSERT_TRUE(store.AddServiceVisit("T-1", "C-1", "", HistoryNow(), &visit).ok);
    EXPECT_TRUE(visit.found);
    EXPECT_EQ(visit.totalCounter, 1000);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(store.Tool("T-1", "", CyclesPlan(0), rows).ok);
    ASSERT_EQ(rows.size(), 4u);
    // The old rows got their facts in the migration, the new one when it was kept.
    EXPECT_EQ(rows[1].read.resetFrom, 700);
    EXPECT_TRUE(rows[1].counterReset);
    EXPECT_FALSE(rows[1].cyclesSincePrevious);
    EXPECT_EQ(rows[1].cyclesSinceService, 900);  // 700 before the reset, 200 after
    EXPECT_EQ(rows[2].read.controllerBefore, "C-1");
    EXPECT_EQ(rows[3].read.controllerBefore, "C-2");
    EXPECT_FALSE(rows[3].read.resetFrom);
    EXPECT_EQ(rows[3].cyclesSincePrevious, 800);
    rows.erase(rows.begin() + 1, rows.begin() + 3);
    EXPECT_EQ(rows[0].read.readAt, "2026-01-01T00:00:00Z");
    EXPECT_EQ(rows[0].read.port, "/dev/ttyS0");
    // The old row got an id of its own time (sorting before the new read's), and this laptop's names.
    EXPECT_TRUE(IsRecordUuid(rows[0].read.uuid)) << rows[0].read.uuid;
    EXPECT_EQ(rows[0].read.uuid.substr(0, 15), "019b76da-a800-7");  // 2026-01-01T00:00:00Z in ms
    EXPECT_LT(rows[0].read.uuid, rows[1].read.uuid);
    EXPECT_EQ(rows[0].read.technician, "Ann Lee");
    EXPECT_EQ(rows[0].read.machine, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(rows[1].cyclesSinceService, 0);
    EXPECT_EQ(Count(), 4);
}

TEST_F(HistoryStore, AFileOfANewerSchemaIsLeftAlone) {
    fs::create_directories(fs::path(Path()).parent_path());
    {
        SqliteDb db;
        ASSERT_EQ(db.Open(Path(), true, 1000), 0);
        ASSERT_EQ(db.Exec("PRAGMA user_version = 99"), 0);
    }
    CHistoryStore store;
    const HistoryStatus status = store.Insert(Read("T-1", 1));
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("version 99"), std::string::npos) << status.message;
    EXPECT_TRUE(store.SetAsideName().empty());
    std::vector<HistoryRow> rows;
    EXPECT_NE(store.Fleet("", CyclesPlan(0), rows).message.find("newer than this program's"),
              std::string::npos);

    {
        SqliteDb db;
        ASSERT_EQ(db.Open(Path(), false, 1000), 0);
        ASSERT_EQ(db.Exec("PRAGMA user_version = -3"), 0);
    }
    const HistoryStatus negative = store.Fleet("", CyclesPlan(0), rows);
    EXPECT_NE(negative.message.find("invalid schema version -3"), std::string::npos) << negative.message;
}

// A migration that fails says why, not what the connection says after its rollback ("not an error").
TEST_F(HistoryStore, AFailedMigrationSaysWhy) {
    fs::create_directories(fs::path(Path()).parent_path());
    {
        SqliteDb db;
        ASSERT_EQ(db.Open(Path(), true, 1000), 0);
        ASSERT_EQ(db.Exec(kHistorySchemaSteps[0]), 0);
        ASSERT_EQ(db.Exec("CREATE TABLE service_visits(x); PRAGMA user_version = 1"), 0);
    }
    const HistoryStatus status = CHistoryStore().Insert(Read("T-1", 1));
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("already exists"), std::string::npos) << status.message;
}

TEST_F(HistoryStore, ADamagedFileIsSetAsideAndANewOneStarted) {
    fs::create_directories(fs::path(Path()).parent_path());
    const std::string garbage(8192, 'x');
    std::ofstream(Path(), std::ios::binary) << garbage;
    CHistoryStore store;
    ASSERT_TRUE(store.Insert(Read("T-1", 1)).ok);
    const std::string aside = store.SetAsideName();
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(aside.rfind(Path() + ".damaged-", 0), 0u) << aside;
    EXPECT_EQ(FileText(aside), garbage);  // kept as it was, never deleted
    EXPECT_EQ(Count(), 1);
}

// A page damaged where only a view reads it (the file opens): the view sets the file aside as an open or
// an insert would, and a writer that still holds the old file writes its next read into the new one.
TEST_F(HistoryStore, AViewThatFindsTheFileDamagedSetsItAsideAndTheWriterFollows) {
    auto writer = std::make_unique<CHistoryStore>();
    for (int i = 0; i < 400; ++i)
        ASSERT_TRUE(writer->Insert(Read(std::string(100, 'T') + std::to_string(i % 50), i)).ok);
    {
        SqliteDb db;
        ASSERT_EQ(db.Open(Path(), false, 1000), 0);
        ASSERT_EQ(db.Exec("PRAGMA wal_checkpoint(TRUNCATE)"), 0);
    }
    {
        std::fstream file(Path(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096 * 4);  // a page of the reads' tree, far from the header
        const std::string garbage(4096, '\xA5');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
#ifdef _WIN32
    // Windows renames no file another handle holds open (SQLite shares none for deletion): there the view
    // sets the file aside only once no writer holds it, and the writer finds the damage itself.
    writer = std::make_unique<CHistoryStore>();
#endif
    CHistoryStore view;
    std::vector<HistoryRow> rows;
    const HistoryStatus status = view.Fleet("", CyclesPlan(0), rows);
    EXPECT_TRUE(status.ok) << status.message;
    EXPECT_TRUE(rows.empty());
    ASSERT_FALSE(view.SetAsideName().empty());
    EXPECT_TRUE(fs::exists(view.SetAsideName()));

    ASSERT_TRUE(writer->Insert(Read("T-after", 1)).ok);
    EXPECT_EQ(Count(), 1);  // in the new file, not in the one set aside
}

#ifndef _WIN32  // fork(): the processes are this test's own children
TEST_F(HistoryStore, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kEach = 200;
    ASSERT_TRUE(CHistoryStore().Insert(Read("T-0", 0)).ok);  // both children find the schema in place
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            CHistoryStore store;
            int failures = 0;
            for (int i = 0; i < kEach; ++i)
                failures += store.Insert(Read("T-" + std::to_string(c + 1), i)).ok ? 0 : 1;
            _exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Count(), 1 + 2 * kEach);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(CHistoryStore().Tool("T-2", "", CyclesPlan(0), rows).ok);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kEach));
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(rows[i].read.totalCounter, static_cast<std::uint32_t>(i));
}
#endif

TEST_F(HistoryStore, AStoreThatCannotBeWrittenReportsEachLostRow) {
    std::ofstream(home.Path() + "/file") << "x";
    CHistoryStore unreachable(
        HistoryStoreOptions{home.Path() + "/file/quarvel/history.sqlite3", 100, 0, "", ""});
    const HistoryStatus status = unreachable.Insert(Read("T-1", 1));
    EXPECT_FALSE(status.ok);
    EXPECT_NE(status.message.find("cannot create"), std::string::npos) << status.message;

    CHistoryStore full(HistoryStoreOptions{Path(), 100, 24, "", ""});
    HistoryStatus last;
    int written = 0;
    while ((last = full.Insert(Read(std::string(200, 'T'), 1))).ok && written < 10000) ++written;
    EXPECT_FALSE(last.ok);
    EXPECT_NE(last.message.find("full"), std::string::npos) << last.message;
    EXPECT_EQ(Count(), written);  // what was written stays
}

TEST_F(HistoryStore, TheFleetShowsEachToolsLastReadWithItsServiceState) {
    CHistoryStore store;
    ASSERT_TRUE(store.Insert(Read("T-2", 100)).ok);
    ASSERT_TRUE(store.Insert(Read("T-1", 100)).ok);
    ASSERT_TRUE(store.Insert(Read("T-1", 100, "C-2")).ok);  // the same tool serial on another controller
    HistoryVisitOutcome visit;
    ASSERT_TRUE(
        store.AddServiceVisit("T-1", "C-2", "die", HistoryNow(), &visit).ok);  // the C-2 pair: the last read
    ASSERT_TRUE(store.Insert(Read("T-1", 450)).ok);
    ASSERT_TRUE(store.Insert(Read("T-1", 900, "C-2")).ok);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(store.Fleet("", CyclesPlan(800), rows).ok);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].read.controllerSerial, "C-1");
    EXPECT_EQ(rows[0].cyclesSincePrevious, 350);
    EXPECT_EQ(rows[0].cyclesSinceService, 450);  // never serviced: since new
    EXPECT_FALSE(rows[0].serviceDue);
    EXPECT_EQ(rows[1].read.controllerSerial, "C-2");
    EXPECT_EQ(rows[1].cyclesSinceService, 800);
    EXPECT_TRUE(rows[1].serviceDue);
    EXPECT_EQ(rows[2].read.toolSerial, "T-2");
    EXPECT_FALSE(rows[2].cyclesSincePrevious);
    ASSERT_TRUE(store.Fleet("2999-01-01", CyclesPlan(800), rows).ok);
    EXPECT_TRUE(rows.empty());

    // The tool's own view derives the same numbers, read by read, each controller on its own.
    ASSERT_TRUE(store.Tool("T-1", "", CyclesPlan(800), rows).ok);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].cyclesSinceService, 100);  // C-1, never serviced
    EXPECT_EQ(rows[1].cyclesSinceService, 0);    // C-2: the read the visit counts from
    EXPECT_EQ(rows[2].cyclesSinceService, 450);
    EXPECT_EQ(rows[2].cyclesSincePrevious, 350);
    EXPECT_EQ(rows[3].cyclesSinceService, 800);
    EXPECT_TRUE(rows[3].serviceDue);
}

// Due when either limit is reached, due soon past the share of either, the nearer one named; days count
// from the last visit, or from the first read of a tool never serviced.
TEST_F(HistoryStore, TheServicePlanSaysDueAndDueSoonByCyclesAndByDaysAtTheirBoundaries) {
    struct Case {
        std::int64_t cycles, days;  // since service
        std::int64_t planCycles, planDays;
        ServiceState state;
        ServiceLimit limit;
        const char* text;
    } cases[] = {
        {2699, 0, 3000, 0, ServiceState::NotDue, ServiceLimit::Cycles, "not due"},
        {2700, 0, 3000, 0, ServiceState::DueSoon, ServiceLimit::Cycles, "due soon: 2,700 of 3,000 cycles"},
        {2999, 0, 3000, 0, ServiceState::DueSoon, ServiceLimit::Cycles, "due soon: 2,999 of 3,000 cycles"},
        {3000, 0, 3000, 0, ServiceState::Due, ServiceLimit::Cycles, "due: 3,000 cycles since service"},
        {51200, 0, 3000, 365, ServiceState::Due, ServiceLimit::Cycles, "due: 51,200 cycles since service"},
        {100, 328, 3000, 365, ServiceState::NotDue, ServiceLimit::Days, "not due"},
        {100, 329, 3000, 365, ServiceState::DueSoon, ServiceLimit::Days, "due soon: 329 of 365 days"},
        {2900, 340, 3000, 365, ServiceState::DueSoon, ServiceLimit::Cycles,
         "due soon: 2,900 of 3,000 cycles"},
        {2000, 365, 3000, 365, ServiceState::Due, ServiceLimit::Days, "due: 365 days since service"},
        {2000, 400, 0, 365, ServiceState::Due, ServiceLimit::Days, "due: 400 days since service"},
        {99999, 9999, 0, 0, ServiceState::None, ServiceLimit::Cycles, ""},
        {-5, 0, 3000, 0, ServiceState::NotDue, ServiceLimit::Cycles, "not due"},
    };
    const auto now = std::chrono::system_clock::now();
    for (const Case& c : cases) {
        HistoryRow row;
        row.cyclesSinceService = c.cycles;
        row.serviceSince = HistoryTime(now - std::chrono::hours(24 * c.days) - std::chrono::minutes(1));
        ServicePlan plan;
        plan.cycles = c.planCycles;
        plan.days = c.planDays;
        plan.now = now;
        ApplyServicePlan(plan, row);
        EXPECT_EQ(row.daysSinceService, c.days);
        EXPECT_EQ(row.standing.state, c.state) << c.text;
        if (c.state != ServiceState::None) {
            EXPECT_EQ(row.standing.limit, c.limit) << c.text;
        }
        EXPECT_EQ(ServiceStandingText(row.standing), c.text);
        EXPECT_EQ(row.serviceDue, c.state == ServiceState::Due);
    }

    // From the store: a tool first read 200 days ago and never serviced, one serviced 10 days ago.
    CHistoryStore store;
    HistoryRead old = Read("T-1", 100);
    old.readAt = HistoryTime(now - std::chrono::hours(24 * 200));
    old.uuid = NewRecordUuid(now - std::chrono::hours(24 * 200));
    ASSERT_TRUE(store.Insert(old).ok);
    ASSERT_TRUE(store.Insert(Read("T-1", 200)).ok);
    ASSERT_TRUE(store.Insert(Read("T-2", 5)).ok);
    HistoryVisitOutcome visit;
    ASSERT_TRUE(
        store.AddServiceVisit("T-2", "", "", HistoryTime(now - std::chrono::hours(24 * 10)), &visit).ok);
    ServicePlan plan;
    plan.days = 210;
    plan.now = now;
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(store.Fleet("", plan, rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].daysSinceService, 200);
    EXPECT_EQ(rows[0].standing.state, ServiceState::DueSoon);  // 200 of 210 days
    EXPECT_EQ(rows[1].daysSinceService, 10);
    EXPECT_EQ(rows[1].standing.state, ServiceState::NotDue);
    ASSERT_TRUE(store.Tool("T-1", "", plan, rows).ok);
    EXPECT_EQ(rows[1].daysSinceService, 200);  // the tool's own view counts the same
    plan.days = 200;
    ASSERT_TRUE(store.Fleet("", plan, rows).ok);
    const std::vector<HistoryRow> due = DueRows(rows);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].read.toolSerial, "T-1");
}

// Records pulled from the team's server arrive in any order: each takes its place by its id (its time),
// one already here is skipped, and only what was kept here waits to be sent, until marked sent.
TEST_F(HistoryStore, PulledRecordsTakeTheirPlaceInTimeAndOnlyLocalOnesWaitToBeSent) {
    CHistoryStore store(HistoryStoreOptions{Path(), 2000, 0, "Ann", "aa"});
    const auto now = std::chrono::system_clock::now();
    HistoryRead older = Read("T-1", 100);
    older.uuid = NewRecordUuid(now - std::chrono::hours(2));
    older.technician = "Bob";
    older.machine = "bb";
    HistoryRead newer = Read("T-1", 900);
    ASSERT_TRUE(store.Insert(Read("T-1", 500)).ok);  // read here an hour after `older`, before `newer`
    newer.uuid = NewRecordUuid(now + std::chrono::hours(1));
    newer.technician = "Bob";
    const HistoryVisit visit{
        NewRecordUuid(now), "T-1", "C-1", older.uuid, HistoryNow(), 100, "die", "Bob", "bb"};

    std::size_t added = 0;
    ASSERT_TRUE(store.KeepPulled({older}, {visit}, {{"cursor", "7"}}, &added).ok);
    EXPECT_EQ(added, 2u);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(store.Fleet("", CyclesPlan(0), rows).ok);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].read.totalCounter, 500u);  // still the last read: the pulled one is older
    EXPECT_EQ(rows[0].read.technician, "Ann");
    EXPECT_EQ(rows[0].cyclesSincePrevious, 400);
    EXPECT_EQ(rows[0].cyclesSinceService, 400);  // from the visit tied to the older read

    ASSERT_TRUE(store.KeepPulled({older, newer}, {visit}, {{"cursor", "9"}}, &added).ok);
    EXPECT_EQ(added, 1u);  // only `newer` was new
    ASSERT_TRUE(store.Fleet("", CyclesPlan(0), rows).ok);
    EXPECT_EQ(rows[0].read.totalCounter, 900u);
    EXPECT_EQ(rows[0].read.technician, "Bob");
    ASSERT_TRUE(store.Tool("T-1", "", CyclesPlan(0), rows).ok);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].read.uuid, older.uuid);
    EXPECT_EQ(rows[2].cyclesSincePrevious, 400);
    std::string cursor;
    ASSERT_TRUE(store.SyncValue("cursor", &cursor).ok);
    EXPECT_EQ(cursor, "9");

    HistoryVisitOutcome outcome;
    ASSERT_TRUE(store.AddServiceVisit("T-1", "", "", HistoryNow(), &outcome).ok);
    std::vector<HistoryRead> reads;
    std::vector<HistoryVisit> visits;
    ASSERT_TRUE(store.Unsent(10, reads, visits).ok);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].totalCounter, 500u);
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].readUuid, newer.uuid);  // the new visit counts from the last read, pulled or not
    EXPECT_EQ(visits[0].technician, "Ann");
    std::int64_t waiting = 0;
    ASSERT_TRUE(store.UnsentCount(&waiting).ok);
    EXPECT_EQ(waiting, 2);
    ASSERT_TRUE(store.MarkSent(reads, visits).ok);
    ASSERT_TRUE(store.Unsent(10, reads, visits).ok);
    EXPECT_TRUE(reads.empty() && visits.empty());
}

TEST_F(HistoryStore, TheWriterThreadWritesInOrderAndKeepsTheFirstLoss) {
    {
        CHistoryWriter writer;
        ASSERT_TRUE(writer.Start());
        for (std::uint32_t i = 0; i < 5; ++i) writer.Submit(Read("T-1", i));
        EXPECT_TRUE(writer.WaitIdle(10000));
        writer.Submit(Read("T-1", 5));
    }  // the destructor writes what is queued, then joins
    EXPECT_EQ(Count(), 6);

    std::ofstream(home.Path() + "/file") << "x";
    CHistoryWriter broken(HistoryStoreOptions{home.Path() + "/file/history.sqlite3", 100, 0, "", ""});
    ASSERT_TRUE(broken.Start());
    broken.Submit(Read("T-1", 1));
    broken.Submit(Read("T-1", 2));
    EXPECT_TRUE(broken.WaitIdle(10000));
    EXPECT_EQ(broken.LostCount(), 2u);
    EXPECT_NE(broken.LossMessage().find("cannot create"), std::string::npos) << broken.LossMessage();
    broken.Stop();
    broken.Submit(Read("T-1", 3));  // after Stop: lost, not queued for ever
    EXPECT_EQ(broken.LostCount(), 3u);
}
