// The team's history against a real PostgreSQL server (the private cluster of the pgserver fixture): two
// laptops' stores end with the union, a repeated push adds nothing, a pull never skips the rows of a
// transaction that commits late, every problem is named, a multi-host string fails over, and a stop ends
// a round that waits for a silent server. Each test makes a database of its own.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "history/history_store.h"
#include "history/record_uuid.h"
#include "platform/net/socket_wait.h"
#include "support/pg_test_cluster.h"
#include "support/temp_dir.h"
#include "team/team_schema.h"
#include "team/team_sync.h"
#include "team/team_sync_thread.h"

namespace {
using testsupport::PgClusterPath;
using testsupport::PgClusterValue;

HistoryRead Read(const std::string& tool, std::uint32_t total) {
    HistoryRead r;
    r.uuid = NewRecordUuid(std::chrono::system_clock::now());
    r.readAt = HistoryNow();
    r.toolSerial = tool;
    r.controllerSerial = "C-1";
    r.toolModel = "RK-9";
    r.firmwareVersion = "1.04";
    r.totalCounter = total;
    r.deviceInfo = std::string("RK-9\0\0\0\0\x01\x04\0\0\0\0\x20\0", 16);
    r.port = "/dev/ttyUSB0";
    r.speed = 115200;
    return r;
}

class TeamSync : public ::testing::Test {
protected:
    void SetUp() override {
        m_port = PgClusterValue("port");
        m_password = PgClusterValue("password");
        ASSERT_FALSE(m_port.empty()) << "no cluster: QUARVEL_TEST_PG_DIR (the pgserver fixture)";
        static std::atomic<int> counter{0};
        m_database =
            "q" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000) +
            "_" + std::to_string(++counter);
        CPgConnection owner;
        ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner", "postgres")}).Failed());
        ASSERT_FALSE(owner.Exec("CREATE DATABASE " + m_database).Failed());
        ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner")}).Failed());
        int before = -1;
        const TeamError init = InitTeamSchema(owner, &before);
        ASSERT_FALSE(init.Failed()) << TeamErrorText(init);
        EXPECT_EQ(before, 0);
    }

    std::string Conninfo(const std::string& user, const std::string& database = "") const {
        return testsupport::PgConninfo(user, database.empty() ? m_database : database);
    }

    TeamSyncOptions Laptop(const TempDir& dir, const std::string& user, const std::string& machine) const {
        TeamSyncOptions options;
        options.connect.conninfo = Conninfo(user);
        options.store.path = dir.File("history.sqlite3");
        options.store.technician = user;
        options.store.machine = machine;
        options.pushBatch = 2;  // several batches even for a few records
        options.pullBatch = 2;
        return options;
    }

    static TeamSyncCounts Sync(const TeamSyncOptions& options) {
        TeamSyncCounts counts;
        const TeamError error = RunTeamSync(options, &counts);
        EXPECT_FALSE(error.Failed()) << TeamErrorText(error);
        return counts;
    }

    static std::vector<HistoryRow> Fleet(const TeamSyncOptions& options) {
        std::vector<HistoryRow> rows;
        EXPECT_TRUE(CHistoryStore(options.store).Fleet("", CyclesPlan(1000), rows).ok);
        return rows;
    }

    std::string ServerCount(const char* table) {
        CPgConnection admin;
        CPgResult result;
        EXPECT_FALSE(admin.Connect({Conninfo("postgres")}).Failed());
        EXPECT_FALSE(admin.Exec(std::string("SELECT COUNT(*) FROM ") + table, {}, &result).Failed());
        return result.Text(0, 0);
    }

    std::string m_port, m_password, m_database;
    TempDir m_a, m_b, m_c;
};
}  // namespace

TEST_F(TeamSync, TwoLaptopsEndWithTheUnionAndARepeatedPushAddsNothing) {
    const TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa"), bob = Laptop(m_b, "bob", "bbbb");
    CHistoryStore annStore(ann.store), bobStore(bob.store);
    for (std::uint32_t total : {100u, 200u, 300u}) ASSERT_TRUE(annStore.Insert(Read("T-1", total)).ok);
    HistoryVisitOutcome visit;
    ASSERT_TRUE(annStore.AddServiceVisit("T-1", "", "new die", HistoryNow(), &visit).ok);
    ASSERT_TRUE(bobStore.Insert(Read("T-2", 50)).ok);
    ASSERT_TRUE(bobStore.Insert(Read("T-1", 450)).ok);  // bob reads ann's tool later

    TeamSyncCounts counts = Sync(ann);
    EXPECT_EQ(counts.pushed, 4u);
    EXPECT_EQ(counts.pushedNew, 4u);
    counts = Sync(bob);
    EXPECT_EQ(counts.pushedNew, 2u);
    EXPECT_EQ(counts.pulledNew, 4u);  // ann's three reads and her visit
    counts = Sync(ann);
    EXPECT_EQ(counts.pulledNew, 2u);
    EXPECT_EQ(counts.waiting, 0);
    EXPECT_EQ(ServerCount("reads"), "5");
    EXPECT_EQ(ServerCount("service_visits"), "1");

    const std::vector<HistoryRow> annFleet = Fleet(ann), bobFleet = Fleet(bob);
    ASSERT_EQ(annFleet.size(), 2u);
    ASSERT_EQ(bobFleet.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(annFleet[i].read.uuid, bobFleet[i].read.uuid);
        EXPECT_EQ(annFleet[i].cyclesSinceService, bobFleet[i].cyclesSinceService);
    }
    EXPECT_EQ(annFleet[0].read.technician, "bob");  // T-1's last read, and it counts from ann's visit
    EXPECT_EQ(annFleet[0].cyclesSinceService, 150);
    EXPECT_EQ(annFleet[0].cyclesSincePrevious, 150);

    // A push whose COMMIT was never confirmed goes again: the server skips what it has.
    {
        SqliteDb db;
        ASSERT_EQ(db.Open(ann.store.path, false, 1000), 0);
        ASSERT_EQ(db.Exec("UPDATE reads SET synced = 0; UPDATE service_visits SET synced = 0"), 0);
    }
    counts = Sync(ann);
    EXPECT_EQ(counts.pushed, 6u);
    EXPECT_EQ(counts.pushedNew, 0u);
    EXPECT_EQ(ServerCount("reads"), "5");

    // The technicians may add, never change or erase.
    CPgConnection technician;
    ASSERT_FALSE(technician.Connect({Conninfo("ann")}).Failed());
    EXPECT_EQ(technician.Exec("DELETE FROM reads").problem, TeamProblem::Refused);
    EXPECT_EQ(technician.Exec("UPDATE reads SET total_counter = 0").problem, TeamProblem::Refused);
    EXPECT_EQ(ServerCount("reads"), "5");

    // What a read found (a counter reset, another controller) travels with it.
    ASSERT_TRUE(annStore.Insert(Read("T-1", 10)).ok);  // after bob's 450
    HistoryRead moved = Read("T-2", 60);
    moved.controllerSerial = "C-2";
    ASSERT_TRUE(annStore.Insert(moved).ok);
    Sync(ann);
    EXPECT_EQ(Sync(bob).pulledNew, 2u);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(CHistoryStore(bob.store).Tool("T-1", "", CyclesPlan(0), rows).ok);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().read.resetFrom, 450);
    EXPECT_EQ(rows.back().cyclesSinceService, 160);  // 150 after the visit at 300, then 10 after the reset
    ASSERT_TRUE(CHistoryStore(bob.store).Tool("T-2", "", CyclesPlan(0), rows).ok);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].read.controllerBefore, "C-1");
}

// The sent marks and the pull's cursors belong to one server's history: pointed at another (a new
// server, a history made anew), a laptop sends everything it has and pulls everything that one holds.
TEST_F(TeamSync, AnotherServersHistoryGetsEverythingAndGivesEverything) {
    TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa");
    const TeamSyncOptions bob = Laptop(m_c, "bob", "cccc");
    CHistoryStore annStore(ann.store);
    for (std::uint32_t total : {100u, 200u}) ASSERT_TRUE(annStore.Insert(Read("T-1", total)).ok);
    EXPECT_EQ(Sync(ann).pushedNew, 2u);
    EXPECT_EQ(Sync(bob).pulledNew, 2u);

    const std::string first = m_database;
    m_database += "_b";
    {
        CPgConnection owner;
        ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner", "postgres")}).Failed());
        ASSERT_FALSE(owner.Exec("CREATE DATABASE " + m_database).Failed());
        ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner")}).Failed());
        int before = -1;
        ASSERT_FALSE(InitTeamSchema(owner, &before).Failed());
    }
    TempDir third;
    const TeamSyncOptions other = Laptop(third, "bob", "dddd");
    ASSERT_TRUE(CHistoryStore(other.store).Insert(Read("T-9", 5)).ok);
    EXPECT_EQ(Sync(other).pushedNew, 1u);

    ann.connect.conninfo = Conninfo("ann");
    TeamSyncCounts counts = Sync(ann);
    EXPECT_EQ(counts.pushedNew, 2u);  // although the first server had them
    EXPECT_EQ(counts.pulledNew, 1u);  // the other laptop's, whatever the first server's cursor said
    EXPECT_EQ(ServerCount("reads"), "3");

    // Back on the first server: that read goes there too, and ann's cursor starts again from its start.
    ann.connect.conninfo = Conninfo("ann", first);
    counts = Sync(ann);
    EXPECT_EQ(counts.pushed, 3u);
    EXPECT_EQ(counts.pushedNew, 1u);
    EXPECT_EQ(counts.pulled, 3u);  // its pull starts again from the start
    EXPECT_EQ(counts.pulledNew, 0u);
    EXPECT_EQ(Sync(ann).pushed, 0u);  // and then it is in step again
    EXPECT_EQ(Sync(bob).pulledNew, 1u);
}

// A backup restored: the server lacks a read ann pushed after the backup (she counts it as sent), and the
// rows carry another cluster's transaction numbers, far ahead of this one's, so no pull sees new rows.
// server restored gives the history a new id: ann sends it all again, bob pulls it all, nothing doubles.
TEST_F(TeamSync, AfterARestoreEveryLaptopSendsAndPullsEverythingAgain) {
    const TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa"), bob = Laptop(m_b, "bob", "bbbb");
    CHistoryStore annStore(ann.store);
    for (std::uint32_t total : {100u, 200u, 300u}) ASSERT_TRUE(annStore.Insert(Read("T-1", total)).ok);
    EXPECT_EQ(Sync(ann).pushedNew, 3u);
    {
        CPgConnection owner;  // the restore, as it leaves the tables
        ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner")}).Failed());
        ASSERT_FALSE(owner.Exec("DELETE FROM reads WHERE total_counter = 300").Failed());
        ASSERT_FALSE(
            owner.Exec("UPDATE reads SET tx = (pg_current_xact_id()::text::bigint + 1000000)::text::xid8")
                .Failed());
    }
    ASSERT_TRUE(CHistoryStore(bob.store).Insert(Read("T-2", 50)).ok);
    EXPECT_EQ(Sync(bob).pulledNew, 0u);  // the restored rows are out of the pull's reach
    EXPECT_EQ(Sync(ann).pushed, 0u);     // and ann counts the lost read as sent
    EXPECT_EQ(ServerCount("reads"), "3");

    CPgConnection owner;
    ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner")}).Failed());
    long long renumbered = 0;
    const TeamError restarted = RestartTeamHistory(owner, &renumbered);
    ASSERT_FALSE(restarted.Failed()) << TeamErrorText(restarted);
    EXPECT_EQ(renumbered, 3);

    EXPECT_EQ(Sync(ann).pushedNew, 1u);  // the read the backup lacked
    EXPECT_EQ(Sync(bob).pulledNew, 3u);  // ann's three
    EXPECT_EQ(ServerCount("reads"), "4");
    EXPECT_EQ(Fleet(bob).size(), 2u);
    EXPECT_EQ(Sync(ann).pushed + Sync(bob).pulled, 0u);  // in step again

    // Only on this program's schema: an older one is brought up to date by server init first.
    ASSERT_FALSE(owner.Exec("UPDATE quarvel_schema SET version = 1").Failed());
    EXPECT_EQ(RestartTeamHistory(owner, &renumbered).problem, TeamProblem::OlderSchema);
    EXPECT_EQ(renumbered, 0);
}

// Rows are numbered as they are inserted but become visible as their transactions commit: a row numbered
// earlier may appear after a later one was pulled. The pull must wait for it instead of skipping it.
TEST_F(TeamSync, APullNeverSkipsTheRowsOfATransactionThatCommitsLate) {
    const TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa"), bob = Laptop(m_b, "bob", "bbbb");
    CPgConnection slow;
    ASSERT_FALSE(slow.Connect({Conninfo("postgres")}).Failed());
    ASSERT_FALSE(slow.Exec("BEGIN").Failed());
    const HistoryRead early = Read("T-slow", 1);
    ASSERT_FALSE(
        slow.Exec("INSERT INTO reads(id, read_at, tool_model, tool_serial, controller_serial,"
                  " firmware_version, cycle_counter, total_counter, position_counts, force_reading,"
                  " force_factor, force_divisor, cycle_flags, device_info, port, speed, technician, machine)"
                  " VALUES($1::uuid, now(), 'RK-9', 'T-slow', 'C-1', '1.04', 0, 1, 0, 0, 0, 0, 0, '\\x00',"
                  " '/dev/ttyS0', 9600, 'carl', 'cccc')",
                  {early.uuid})
            .Failed());

    ASSERT_TRUE(CHistoryStore(ann.store).Insert(Read("T-1", 10)).ok);
    Sync(ann);  // ann's row is numbered after the open transaction's, and committed
    TeamSyncCounts counts = Sync(bob);
    EXPECT_EQ(counts.pulled, 0u);  // not yet: a row numbered before it may still come
    ASSERT_FALSE(slow.Exec("COMMIT").Failed());
    counts = Sync(bob);
    EXPECT_EQ(counts.pulledNew, 2u);
    EXPECT_EQ(Fleet(bob).size(), 2u);
    counts = Sync(bob);
    EXPECT_EQ(counts.pulled, 0u);  // the cursor moved past both
}

TEST_F(TeamSync, EachProblemIsNamedAndLocalReadsGoOn) {
    TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa");
    ASSERT_TRUE(CHistoryStore(ann.store).Insert(Read("T-1", 10)).ok);
    TeamSyncCounts counts;
    const auto problem = [&](const std::string& conninfo) {
        TeamSyncOptions options = ann;
        options.connect.conninfo = conninfo;
        options.connect.connectTimeoutMs = 5000;
        return RunTeamSync(options, &counts).problem;
    };
    const std::string server = "host=127.0.0.1 port=" + m_port + " dbname=" + m_database;
    EXPECT_EQ(problem(""), TeamProblem::NoServer);
    EXPECT_EQ(problem("host='unterminated"), TeamProblem::BadSettings);
    EXPECT_EQ(problem(server + " user=ann password=wrong"), TeamProblem::Password);
    EXPECT_EQ(problem("host=127.0.0.1 port=1 user=ann"), TeamProblem::Unreachable);
    const std::string tls = "host=localhost port=" + m_port + " dbname=" + m_database +
                            " user=ann password=" + m_password + " sslmode=verify-full sslrootcert=";
    EXPECT_EQ(problem(tls + "no-such-root.crt"), TeamProblem::Tls);
    EXPECT_EQ(problem(tls + PgClusterPath("server.crt")), TeamProblem::None);  // the server's own certificate
    EXPECT_EQ(problem(server + " user=ann password=" + m_password + " sslmode=require"), TeamProblem::None);

    // A database without the history, and one of a newer program: refused, and the reads stay here.
    EXPECT_EQ(problem("host=127.0.0.1 port=" + m_port + " dbname=postgres user=ann password=" + m_password),
              TeamProblem::NoSchema);
    CPgConnection owner;
    ASSERT_FALSE(owner.Connect({Conninfo("quarvel_owner")}).Failed());
    ASSERT_FALSE(owner.Exec("UPDATE quarvel_schema SET version = 99").Failed());
    ASSERT_TRUE(CHistoryStore(ann.store).Insert(Read("T-1", 20)).ok);
    const TeamError newer = RunTeamSync(ann, &counts);
    EXPECT_EQ(newer.problem, TeamProblem::NewerSchema);
    EXPECT_NE(newer.detail.find("version 99"), std::string::npos) << newer.detail;
    EXPECT_EQ(counts.waiting, 1);  // the second read: the first went with the rounds that succeeded
    int before = 0;
    EXPECT_EQ(InitTeamSchema(owner, &before).problem, TeamProblem::NewerSchema);  // init leaves it alone too
    HistorySyncState state;
    ASSERT_TRUE(CHistoryStore(ann.store).SyncState(&state).ok);
    EXPECT_EQ(LastTeamError(state).problem, TeamProblem::NewerSchema);  // what the History dialog shows
    EXPECT_EQ(state.waiting, 1);
}

TEST_F(TeamSync, AMultiHostStringFailsOverToTheHostThatAnswers) {
    TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa");
    ASSERT_TRUE(CHistoryStore(ann.store).Insert(Read("T-1", 10)).ok);
    ann.connect.conninfo = "host=127.0.0.1,127.0.0.1 port=1," + m_port + " dbname=" + m_database +
                           " user=ann password=" + m_password + " target_session_attrs=read-write";
    EXPECT_EQ(Sync(ann).pushedNew, 1u);
    ann.connect.conninfo = "postgresql://ann:" + m_password + "@127.0.0.1:1,127.0.0.1:" + m_port + "/" +
                           m_database + "?target_session_attrs=read-write";
    EXPECT_EQ(Sync(ann).waiting, 0);
}

namespace {
// A server that takes connections and never answers.
class SilentServer {
public:
    SilentServer() {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 8);
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() {
#ifdef _WIN32
        closesocket(m_socket);
#else
        close(m_socket);
#endif
    }
    int Port() const { return m_port; }

private:
#ifdef _WIN32
    using socklen_t = int;
    SOCKET m_socket;
#else
    int m_socket;
#endif
    int m_port = 0;
};
}  // namespace

// Exit must not wait out a server that does not answer: the stop wakes the round's wait at once.
TEST_F(TeamSync, AStopEndsARoundThatWaitsForASilentServer) {
    const CSocketWaker networking;  // on Windows: sockets are started before the listener is made
    SilentServer silent;
    TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa");
    ann.connect.conninfo =
        "host=127.0.0.1 port=" + std::to_string(silent.Port()) + " user=ann sslmode=disable";
    ann.connect.connectTimeoutMs = 600000;
    CTeamSyncThread thread(0);
    ASSERT_TRUE(thread.Start(ann));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!thread.Status().running && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(thread.Status().running);
    // Generous: without the wake the round would wait ten minutes for its connection.
    EXPECT_TRUE(thread.Stop(std::chrono::seconds(20)));

    // A connection stopped before it begins waits for nothing.
    CSocketWaker waker;
    waker.Wake();
    PgConnectOptions stopped{ann.connect.conninfo};
    stopped.waker = &waker;
    CPgConnection connection;
    EXPECT_EQ(connection.Connect(stopped).problem, TeamProblem::Stopped);
}

TEST(TeamSyncThread, BacksOffExponentiallyWithJitterUpToFiveMinutes) {
    using std::chrono::milliseconds;
    EXPECT_EQ(CTeamSyncThread::NextWait(0, 0.3), milliseconds(300000));  // after a success: the period
    EXPECT_EQ(CTeamSyncThread::NextWait(1, 0.0), milliseconds(2500));
    EXPECT_EQ(CTeamSyncThread::NextWait(1, 1.0), milliseconds(5000));
    EXPECT_EQ(CTeamSyncThread::NextWait(3, 1.0), milliseconds(20000));
    EXPECT_EQ(CTeamSyncThread::NextWait(7, 1.0), milliseconds(300000));
    EXPECT_EQ(CTeamSyncThread::NextWait(60, 0.0), milliseconds(150000));
}

TEST_F(TeamSync, TheThreadSyncsAtStartAndWhenWoken) {
    const TeamSyncOptions ann = Laptop(m_a, "ann", "aaaa");
    ASSERT_TRUE(CHistoryStore(ann.store).Insert(Read("T-1", 10)).ok);
    CTeamSyncThread thread(0);
    ASSERT_TRUE(thread.Start(ann));
    const auto waitFor = [&](const std::string& count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (ServerCount("reads") != count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return ServerCount("reads");
    };
    EXPECT_EQ(waitFor("1"), "1");
    ASSERT_TRUE(CHistoryStore(ann.store).Insert(Read("T-1", 20)).ok);
    thread.Wake();
    EXPECT_EQ(waitFor("2"), "2");
    EXPECT_TRUE(thread.Stop(std::chrono::seconds(20)));
}
