// quarvel-cli as a program, over a pseudo-terminal, against the rk9-sim program: what it prints, its
// exit codes, the report file, the trace and the watch's endings. Every test has its own settings
// directory (XDG_CONFIG_HOME) and port table (QUARVEL_PORTS naming the simulator's pty).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>

#include "../report/report_fixtures.h"
#include "cli_doctor.h"
#include "platform/serial/uucp_lock.h"
#include "platform/text/utf8.h"
#include "report/report_file.h"
#include "support/sim_process.h"
#include "support/source_path.h"
#include "support/spawned_program.h"
#include "support/temp_config_home.h"

namespace fs = std::filesystem;

namespace {
constexpr DWORD kRunMs = 30000;

const char* const kDefaultToolText =
    "Tool : RK-9 Crimp 6mm2\n"
    "Tool Serial Number : T-417\n"
    "Controller Firmware Version : 1.04\n"
    "Controller Serial Number : C-981\n"
    "Cycle Counter : 152\n"
    "Total Counter : 873\n"
    "Stop position : 2.710000\n"
    "Last force recorded : 0.450000\n"
    "Stop conditions : Mechanical breakup\n"
    "Direction : Forward\n";

struct CliResult {
    int exitCode = -1;
    std::string out, err;
};

class CliEndToEnd : public ::testing::Test {
protected:
    void StartSim(std::vector<std::string> args = {}) {
        ASSERT_TRUE(sim.Start(args)) << "rk9-sim did not get ready";
        ports = "1=" + sim.DevicePath();
    }
    void Launch(const std::vector<std::string>& args, SpawnedProgram::Env env = {}) {
        std::vector<std::string> argv = {BuiltProgram("tools/quarvel-cli/quarvel-cli")};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        cliPtr = std::make_unique<SpawnedProgram>();  // one child per run
        env.insert(env.begin(), {{"QUARVEL_PORTS", ports}, {"XDG_CONFIG_HOME", home.Path()}});
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        ASSERT_TRUE(cli().Start(argv, env, &error)) << error;
    }
    CliResult Finish() {
        CliResult r;
        EXPECT_TRUE(cli().WaitForExit(kRunMs, &r.exitCode)) << "quarvel-cli did not end";
        r.out = cli().Out();
        r.err = cli().Err();
        return r;
    }
    CliResult Run(const std::vector<std::string>& args) {
        Launch(args);
        return Finish();
    }
    // quarvel-cli run by bash as `"$cli" args... <shellTail>` (a redirection, a pipe), with the fixture's
    // environment; the result is the shell's, so `shellTail` ends with `; exit ${PIPESTATUS[0]}` where
    // a pipe follows.
    void LaunchInShell(const std::string& shellTail, const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"/bin/bash", "-c", "\"$0\" \"$@\" " + shellTail,
                                         BuiltProgram("tools/quarvel-cli/quarvel-cli")};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        cliPtr = std::make_unique<SpawnedProgram>();
        SpawnedProgram::Env env = {{"QUARVEL_PORTS", ports}, {"XDG_CONFIG_HOME", home.Path()}};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        ASSERT_TRUE(cli().Start(argv, env, &error)) << error;
    }
    CliResult RunInShell(const std::string& shellTail, const std::vector<std::string>& args) {
        LaunchInShell(shellTail, args);
        return Finish();
    }
    std::string LockPath() const {
        return std::string(std::getenv("QUARVEL_LOCK_DIR")) + "/" + UucpLockName(sim.DevicePath());
    }
    void WriteSettings(const std::string& lines) {
        fs::create_directories(fs::path(home.Path()) / "kordane");
        std::ofstream(fs::path(home.Path()) / "kordane" / "quarvel.reg", std::ios::binary) << lines;
    }
    std::string Settings() const {
        std::ifstream in(fs::path(home.Path()) / "kordane" / "quarvel.reg", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::vector<unsigned char> FileBytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempConfigHome home;
    testsupport::SimProcess sim;
    std::unique_ptr<SpawnedProgram> cliPtr;
    SpawnedProgram& cli() { return *cliPtr; }
    std::string ports = "1=/nonexistent/quarvel-no-such-port";
    SpawnedProgram::Env extraEnv;
};

ToolRecord DefaultSimRecord() {
    ToolRecord r = WorkedExampleRecord();
    std::fill(std::begin(r.ToolModel), std::end(r.ToolModel), u'\0');
    std::u16string(u"RK-9 Crimp 6mm2").copy(r.ToolModel, 19);
    return r;
}
}  // namespace

TEST_F(CliEndToEnd, ReadPrintsTheTenItems) {
    StartSim();
    const CliResult r = Run({"read"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kDefaultToolText);
    EXPECT_TRUE(sim.Stop());
    EXPECT_NE(sim.Output().find("D=1"), std::string::npos) << sim.Output();
}

// An unsolicited reply right after the answer to 'a' must not shift the answers that follow it.
TEST_F(CliEndToEnd, AStrayReplyIsNeverTakenForTheNextAnswer) {
    StartSim({"--stray-after", "a"});
    const CliResult r = Run({"read"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kDefaultToolText);
}

TEST_F(CliEndToEnd, ReadUsesTheSavedPortAndLanguageAndNeverWritesSettings) {
    StartSim({"--com", "7"});
    ports = "7=" + sim.DevicePath();
    const std::string settings =
        "sz:Language=1\nsz:Language1=" + SourcePath("resources/lang/fr.json") + "\nsz:COM=COM7\nsz:SPEED=3\n";
    WriteSettings(settings);
    const CliResult r = Run({"read", "--format", "csv"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("\"Outil\",\"RK-9 Crimp 6mm2\"\n", 0), 0u) << r.out;
    EXPECT_EQ(Settings(), settings);
}

TEST_F(CliEndToEnd, JsonCarriesRawAndConvertedValues) {
    StartSim({"--position", "4662", "--total-counter", "2147483648"});
    const CliResult r = Run({"read", "--format", "json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"stop_position_counts\": 4662"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"stop_position_mm\": 50.63"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"total_counter\": 2147483648"), std::string::npos);
    EXPECT_NE(r.out.find("\"result\": \"Mechanical breakup\""), std::string::npos);
}

TEST_F(CliEndToEnd, AnUnknownModelExitsFive) {
    StartSim({"--model", "RK-9X"});
    const CliResult r = Run({"read"});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_NE(r.err.find("Unknown device"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(sim.Stop());
    EXPECT_EQ(sim.Output().find("A="), std::string::npos) << sim.Output();  // never attached
}

TEST_F(CliEndToEnd, ASilentToolFailsAfterTheReplyTimeOut) {
    StartSim({"--silent"});
    const CliResult r = Run({"read", "--reply-timeout", "300"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Link with the tool was not estabilished."), std::string::npos) << r.err;
}

TEST_F(CliEndToEnd, NoPortExitsThree) {
    CliResult r = Run({"read"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("There is no any communication ports available."), std::string::npos) << r.err;
    r = Run({"ports"});
    EXPECT_EQ(r.exitCode, 3);
    r = Run({"read", "--port", "1"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("COM1 (/nonexistent/quarvel-no-such-port) would not open"), std::string::npos)
        << r.err;
}

TEST_F(CliEndToEnd, PortsListsTheSimulator) {
    StartSim();
    const CliResult r = Run({"ports"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "COM1\t" + sim.DevicePath() + "\n");
}

TEST_F(CliEndToEnd, TheReportFileEqualsTheWritersBytes) {
    StartSim();
    const fs::path dir = home.Path();
    for (const std::string name : {"r.txt", "r.csv", "r.TXT"}) {
        const CliResult r = Run({"read", "--report", (dir / name).string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string expectedPath = (dir / ("expected-" + name)).string();
        CString wide;
        ASSERT_TRUE(Utf8ToUtf16(expectedPath, wide));
        ASSERT_EQ(SaveReportToPath(wide, FileExtension(wide), DefaultSimRecord()), ReportOutcome::Written);
        EXPECT_EQ(FileBytes(dir / name), FileBytes(expectedPath)) << name;
    }
    EXPECT_EQ(FileBytes(dir / "r.txt")[2], 'T');
    EXPECT_EQ(FileBytes(dir / "r.csv")[2], '"');
}

TEST_F(CliEndToEnd, AReportPathThatIsAFifoFailsAtOnce) {
    StartSim();
    const fs::path fifo = fs::path(home.Path()) / "report.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const CliResult r = Run({"read", "--report", fifo.string()});  // nobody reads the FIFO
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("The output file could not be opened."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(it is a FIFO (a named pipe), not a file)"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_fifo(fifo));
    // The history's --output says the same of a FIFO, a folder and the terminal or pipe of /dev/stdout.
    for (const auto& [path, why] : std::vector<std::pair<std::string, std::string>>{
             {fifo.string(), "a FIFO"}, {home.Path(), "a folder"}, {"/dev/stdout", "not a file"}}) {
        const CliResult h = Run({"history", "--output", path});
        EXPECT_EQ(h.exitCode, 6) << h.err;
        EXPECT_NE(h.err.find(why), std::string::npos) << h.err;
    }
}

// A read waiting on a tool that never answers: a signal cuts the session short and the read ends with
// 128 + the signal, its lock removed. A second signal right behind the first ends it at once (143) unless
// the clean stop of the first (130) was quicker.
TEST_F(CliEndToEnd, SignalsEndAReadBlockedOnASilentTool) {
    StartSim({"--silent"});
    const std::string lock = LockPath();
    for (const std::vector<int>& signals : {std::vector<int>{SIGTERM}, std::vector<int>{SIGINT, SIGTERM}}) {
        Launch({"read", "--trace", "--reply-timeout", "25000"});
        ASSERT_TRUE(cli().WaitForErr("-> 55 44 00 44", kRunMs)) << cli().Err();
        for (int signal : signals) cli().Signal(signal);
        const CliResult r = Finish();
        if (signals.size() == 1) {
            EXPECT_EQ(r.exitCode, 128 + SIGTERM) << r.err;
        } else {
            EXPECT_TRUE(r.exitCode == 128 + SIGINT || r.exitCode == 128 + SIGTERM) << r.exitCode << "\n"
                                                                                   << r.err;
        }
        EXPECT_EQ(r.err.find("Link with the tool"), std::string::npos) << r.err;  // a stop is no failed read
        EXPECT_FALSE(fs::exists(lock)) << "the end left the port's lock file";
    }
}

TEST_F(CliEndToEnd, TraceShowsEveryFrame) {
    StartSim({"--no-keep-alive"});
    const CliResult r = Run({"read", "--trace"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* frame : {"-> 55 44 00 44", "-> 55 41 00 41", "<- 55 5A 00 5A", "-> 55 68 00 68"}) {
        EXPECT_NE(r.err.find(frame), std::string::npos) << frame << "\n" << r.err;
    }
    EXPECT_NE(r.err.find(" ms] <- 55 5A 10 52 4B 2D 39 00"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("55 48"), std::string::npos);  // no keep-alive without the flag
    EXPECT_EQ(r.out, kDefaultToolText);
}

TEST_F(CliEndToEnd, WatchEndsWithFourWhenTheToolFallsSilent) {
    StartSim({"--silent-after", "9"});  // the session's seven, then two keep-alives
    const CliResult r = Run({"watch", "--reply-timeout", "300"});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_EQ(r.out, kDefaultToolText);
    EXPECT_NE(r.err.find("Disconnected"), std::string::npos) << r.err;
}

TEST_F(CliEndToEnd, WatchEndsWithFourWhenTheLineHangsUp) {
    StartSim({"--hang-up-after", "8"});
    const CliResult r = Run({"watch", "--reply-timeout", "300"});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE(r.err.find("Disconnected"), std::string::npos) << r.err;
}

TEST_F(CliEndToEnd, WatchStopsCleanlyOnSigintAndSigtermAndRemovesItsLockFile) {
    StartSim();
    const std::string lock =
        std::string(std::getenv("QUARVEL_LOCK_DIR")) + "/" + UucpLockName(sim.DevicePath());
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        Launch({"watch"});
        ASSERT_TRUE(cli().WaitForLine("Direction : Forward", kRunMs, nullptr)) << cli().Err();
        EXPECT_EQ(ReadUucpLockPid(lock), cli().Pid());  // announced while the port is held
        cli().Signal(signal);
        const CliResult r = Finish();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err.find("Disconnected"), std::string::npos);
        EXPECT_FALSE(fs::exists(lock));
    }
}

TEST_F(CliEndToEnd, WatchReconnectReadsToolAfterToolOnOnePortAndStopsPromptlyOnSigint) {
    // The first tool answers a session and two keep-alives, the line falls silent while the cable moves,
    // then another tool answers on the same pseudo-terminal.
    StartSim(
        {"--next-tool", R"({"tool_serial": "T-900", "cycle_counter": 7})", "--next-tool-silence-ms", "1500"});
    const fs::path dir = fs::path(home.Path()) / "reports";
    fs::create_directories(dir);
    Launch(
        {"watch", "--reconnect", "--reply-timeout", "300", "--format", "json", "--report-dir", dir.string()});
    const std::string second =
        R"({"tool_model":"RK-9 Crimp 6mm2","tool_serial":"T-900","firmware_version":"1.04")";
    ASSERT_TRUE(cli().WaitForLine(second, kRunMs, nullptr)) << cli().Out() << cli().Err();
    cli().Signal(SIGINT);
    int exitCode = -1;
    ASSERT_TRUE(cli().WaitForExit(5000, &exitCode)) << "quarvel-cli did not end promptly after SIGINT";
    const CliResult r{exitCode, cli().Out(), cli().Err()};
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind(R"({"tool_model":"RK-9 Crimp 6mm2","tool_serial":"T-417",)", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(R"("cycle_counter":7,)"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;  // one line per tool
    EXPECT_EQ(r.err, "Disconnected\n");  // the silent attempts in between are not told
    std::vector<std::string> reports;
    for (const auto& entry : fs::directory_iterator(dir)) reports.push_back(entry.path().filename().string());
    std::sort(reports.begin(), reports.end());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].rfind("T-417_", 0), 0u) << reports[0];
    EXPECT_EQ(reports[1].rfind("T-900_", 0), 0u) << reports[1];
    EXPECT_EQ(FileBytes(dir / reports[0])[2], 'T');  // the "label : value" layout
}

// Output that never reaches its reader is a failure (7) with a message, for every command; the read is
// kept in the history all the same, and the port's lock goes.
TEST_F(CliEndToEnd, LostOutputFailsWithSevenAndTheReadIsStillKept) {
    StartSim();
    for (const auto& [tail, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"> /dev/full", {"read", "--format", "json"}},
             {">&-", {"read"}},
             {"| true; exit ${PIPESTATUS[0]}", {"read", "--format", "json"}},
             {"> /dev/full", {"history"}},
             {"> /dev/full", {"ports"}},
             {"> /dev/full", {"doctor"}},
             {"> /dev/full", {"--help"}}}) {
        SCOPED_TRACE(args[0] + " " + tail);
        const CliResult r = RunInShell(tail, args);
        EXPECT_EQ(r.exitCode, 7) << r.err;
        EXPECT_NE(r.err.find("quarvel-cli: "), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(LockPath()));
    }
    const CliResult kept = Run({"history", "--tool", "T-417", "--format", "json"});
    ASSERT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_EQ(nlohmann::json::parse(kept.out).size(), 3u) << kept.out;  // each of the three reads
}

// A watch whose reader went away ends promptly, also while it only holds the link: port and lock freed.
TEST_F(CliEndToEnd, AWatchWhoseReaderWentAwayEndsPromptly) {
    StartSim();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"watch", "--format", "json"},
          std::vector<std::string>{"watch", "--reconnect", "--reply-timeout", "300", "--format", "json"}}) {
        SCOPED_TRACE(args.size());
        LaunchInShell("| head -1; exit ${PIPESTATUS[0]}", args);
        int exitCode = -1;
        ASSERT_TRUE(cli().WaitForExit(8000, &exitCode)) << "the watch outlived its reader";
        EXPECT_EQ(exitCode, 7) << cli().Err();
        EXPECT_EQ(cli().Out().rfind("{", 0), 0u) << cli().Out();  // the first line of the first record
        EXPECT_FALSE(fs::exists(LockPath()));
    }
}

// A stop while a slow but valid tool answers cuts the session short: the stop never waits out the
// replies, and watch --reconnect still ends with 0 as promised.
TEST_F(CliEndToEnd, AStopDuringASlowReadEndsAtOnceAndCleanly) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"watch", "--reconnect", "--trace"},
                                                 std::vector<std::string>{"read", "--trace"}}) {
        SCOPED_TRACE(args[0]);
        sim.Stop();
        StartSim({"--reply-delay-ms", "900"});  // a new tool: the last one still owes a delayed reply
        Launch(args);
        ASSERT_TRUE(cli().WaitForErr("<- 55 5A 10", kRunMs)) << cli().Err();  // the 'D' reply: a valid tool
        cli().Signal(SIGTERM);
        int exitCode = -1;
        ASSERT_TRUE(cli().WaitForExit(5000, &exitCode)) << "the stop waited for the tool";
        EXPECT_EQ(exitCode, args[0] == "read" ? 128 + SIGTERM : 0) << cli().Err();
        EXPECT_FALSE(fs::exists(LockPath()));
    }
}

// --report-dir is made when missing and refused at once (2, naming it) when it cannot be; a report that
// cannot be opened names its file and the cause.
TEST_F(CliEndToEnd, TheReportFolderIsCheckedBeforeTheFirstRead) {
    StartSim();
    const fs::path made = fs::path(home.Path()) / "new" / "reports";
    CliResult r = Run({"read", "--report-dir", made.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(made), fs::directory_iterator()), 1);
    const fs::path blocker = fs::path(home.Path()) / "a-file";
    std::ofstream(blocker) << "x";
    r = Run({"watch", "--reconnect", "--report-dir", (blocker / "reports").string()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find((blocker / "reports").string()), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");  // no tool was read
    r = Run({"read", "--report", (blocker / "r.txt").string()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("The output file could not be opened. "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find((blocker / "r.txt").string()), std::string::npos) << r.err;
}

// On a disk that fills up, a report that cannot be written whole is not left behind looking like one.
// The disk is a small tmpfs in a mount namespace of the test's own, so it goes with the shell.
TEST_F(CliEndToEnd, AReportThatDoesNotFitIsRemoved) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small full tmpfs needs root (CI runs as root)";
    StartSim();
    const fs::path disk = fs::path(home.Path()) / "disk";
    fs::create_directories(disk);
    const std::string fill =
        "unshare -m sh -c 'mount -t tmpfs -o size=8k tmpfs \"$1\" && "
        "head -c 8192 /dev/zero > \"$1/fill\"; "
        "\"$2\" read --report \"$1/r.txt\" > /dev/null; rc=$?; ls -A \"$1\"; exit $rc' sh " +
        disk.string() + " \"$0\"; exit $?";
    const CliResult r = RunInShell("> /dev/null; " + fill, {"--version"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Disk full while accessing " + (disk / "r.txt").string()), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "fill\n");  // no r.txt
}

namespace {
void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A fake sysfs tree: an FTDI adapter, a CDC ACM device, a ttyS with a UART and one without.
void MakeFakeSysfs(const fs::path& root) {
    const fs::path ftdi = root / "devices/pci0/usb1/1-1";
    WriteFile(ftdi / "idVendor", "0403\n");
    WriteFile(ftdi / "idProduct", "6001\n");
    WriteFile(ftdi / "product", "FT232R USB UART\n");
    WriteFile(ftdi / "serial", "A50285BI\n");
    WriteFile(ftdi / "1-1:1.0/ttyUSB97/latency_timer", "16\n");
    fs::create_directories(root / "bus/usb-serial/drivers/ftdi_sio");
    fs::create_symlink("../../../../../../bus/usb-serial/drivers/ftdi_sio", ftdi / "1-1:1.0/ttyUSB97/driver");
    const fs::path acm = root / "devices/pci0/usb1/1-2";
    WriteFile(acm / "idVendor", "2341\n");
    WriteFile(acm / "idProduct", "0043\n");
    fs::create_directories(acm / "1-2:1.0");
    fs::create_symlink("../../../../../bus/usb/drivers/cdc_acm", acm / "1-2:1.0/driver");
    fs::create_directories(root / "devices/platform/serial8250");
    const std::pair<const char*, const char*> ttys[] = {
        {"ttyUSB97", "../../../devices/pci0/usb1/1-1/1-1:1.0/ttyUSB97"},
        {"ttyACM98", "../../../devices/pci0/usb1/1-2/1-2:1.0"},
        {"ttyS9998", "../../../devices/platform/serial8250"},
        {"ttyS9999", "../../../devices/platform/serial8250"}};
    for (const auto& [name, device] : ttys) {
        fs::create_directories(root / "class/tty" / name);
        fs::create_symlink(device, root / "class/tty" / name / "device");
    }
    WriteFile(root / "class/tty/ttyS9998/type", "0\n");  // no UART behind it
    WriteFile(root / "class/tty/ttyS9999/type", "4\n");
    fs::create_directories(root / "class/tty/tty5");  // a virtual console: not a serial device
}

// A pseudo-terminal whose slave side no process holds until a test opens it.
class BarePty {
public:
    BarePty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0 &&
            ptsname_r(m_master, name, sizeof name) == 0) {
            m_path = name;
        }
    }
    ~BarePty() {
        if (m_master >= 0) ::close(m_master);
    }
    const std::string& Path() const { return m_path; }

private:
    int m_master = -1;
    std::string m_path;
};
}  // namespace

TEST_F(CliEndToEnd, DoctorReadsEveryFieldFromSysfsAndTheSystemChecks) {
    const fs::path root = fs::path(home.Path()) / "fake";
    MakeFakeSysfs(root / "sys");
    WriteFile(root / "proc/77/comm", "ModemManager\n");
    extraEnv = {{"QUARVEL_SYSFS_ROOT", (root / "sys").string()},
                {"QUARVEL_PROC_ROOT", (root / "proc").string()}};
    ports = "40=/dev/ttyUSB97";
    const CliResult r = Run({"doctor", "--format", "json"});
    EXPECT_EQ(r.exitCode, 3) << r.err;  // nothing here would open
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << r.out;
    ASSERT_EQ(j["ports"].size(), 3u) << r.out;  // ttyS9998 has no UART; tty5 is no serial device
    const auto& usb = j["ports"][0];
    EXPECT_EQ(usb["com"], 40);
    EXPECT_EQ(usb["path"], "/dev/ttyUSB97");
    EXPECT_EQ(usb["tty"], "ttyUSB97");
    EXPECT_EQ(usb["driver"], "ftdi_sio");
    EXPECT_EQ(usb["usb_vendor"], "0403");
    EXPECT_EQ(usb["usb_product"], "6001");
    EXPECT_EQ(usb["product"], "FT232R USB UART");
    EXPECT_EQ(usb["serial"], "A50285BI");
    EXPECT_EQ(usb["latency_timer_ms"], 16);
    EXPECT_TRUE(usb["low_latency"].is_null());
    EXPECT_EQ(usb["exists"], false);
    EXPECT_EQ(usb["would_open"], false);
    EXPECT_EQ(usb["problem"], "missing");
    EXPECT_TRUE(usb["holder"].is_null());
    EXPECT_EQ(j["ports"][1]["tty"], "ttyS9999");
    EXPECT_TRUE(j["ports"][1]["com"].is_null());
    EXPECT_EQ(j["ports"][2]["driver"], "cdc_acm");
    EXPECT_EQ(j["ports"][2]["usb_vendor"], "2341");
    EXPECT_TRUE(j["ports"][2]["latency_timer_ms"].is_null());
    EXPECT_EQ(j["system"]["modemmanager_running"], true);
    EXPECT_EQ(j["system"]["groups"][0]["group"], "dialout");
    EXPECT_EQ(j["ports_that_open"], 0);
    EXPECT_NE(r.out.find("sudo systemctl disable --now ModemManager"), std::string::npos);
}

// Only a port with a COM number counts: a device Quarvel cannot offer gets advice on how to map it, and
// /dev/null (which every process holds) is no serial device rather than a port held by someone.
TEST_F(CliEndToEnd, DoctorCountsOnlyPortsWithACOMNumber) {
    DoctorReport report;
    report.portsVariable = "1=/dev/ttyUSB7";
    report.usedComs = {1};
    DoctorPort unmapped;
    unmapped.facts.strPath = "/dev/ttyS0";
    DoctorPort wrong;
    wrong.nCom = 1;
    wrong.facts.strPath = "/dev/ttyUSB7";
    wrong.strProblem = "missing";
    report.ports = {wrong, unmapped};
    EXPECT_EQ(report.PortsThatOpen(), 0);
    const std::vector<std::string> advice = report.Advice();
    EXPECT_NE(std::find_if(advice.begin(), advice.end(),
                           [](const std::string& a) {
                               return a.find("/dev/ttyS0 has no COM number") == 0 &&
                                      a.find("QUARVEL_PORTS=1=/dev/ttyUSB7,2=/dev/ttyS0") !=
                                          std::string::npos;
                           }),
              advice.end());

    ports = "1=/dev/null";
    const CliResult r = Run({"doctor", "--format", "json"});
    EXPECT_EQ(r.exitCode, 3) << r.out;
    const auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(j["ports"].empty()) << r.out;
    EXPECT_EQ(j["ports"][0]["path"], "/dev/null");
    EXPECT_EQ(j["ports"][0]["problem"], "not_a_tty");
    EXPECT_TRUE(j["ports"][0]["holder"].is_null()) << r.out;
}

TEST_F(CliEndToEnd, DoctorNamesTheProgramThatHoldsAPort) {
    BarePty pty;
    ASSERT_FALSE(pty.Path().empty());
    ports = "1=" + pty.Path();
    extraEnv = {{"QUARVEL_SYSFS_ROOT", (fs::path(home.Path()) / "no-sysfs").string()}};
    CliResult r = Run({"doctor", "--format", "json"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    auto j = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_EQ(j["ports"].size(), 1u) << r.out;
    EXPECT_EQ(j["ports"][0]["com"], 1);
    EXPECT_EQ(j["ports"][0]["would_open"], true);
    EXPECT_TRUE(j["ports"][0]["low_latency"].is_null());  // a pty has no such setting

    SpawnedProgram opener;  // a plain open, with no lock of its own
    std::string error;
    ASSERT_TRUE(
        opener.Start({"/bin/sh", "-c", "exec 3<>\"$0\"; echo ready; exec sleep 60", pty.Path()}, {}, &error))
        << error;
    ASSERT_TRUE(opener.WaitForLine("ready", kRunMs, nullptr));
    r = Run({"doctor", "--format", "json"});
    EXPECT_EQ(r.exitCode, 3) << r.out;
    j = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_EQ(j["ports"][0]["problem"], "busy");
    EXPECT_EQ(j["ports"][0]["holder"]["program"], "sleep");
    EXPECT_EQ(j["ports"][0]["holder"]["pid"], opener.Pid());
    r = Run({"doctor"});
    EXPECT_NE(r.out.find("held by:       sleep (pid " + std::to_string(opener.Pid()) + ")"),
              std::string::npos)
        << r.out;
}

// Each read is a simulated tool of its own (its serials and counters as rk9-sim options).
class CliHistory : public CliEndToEnd {
public:
    CliResult ReadTool(const std::vector<std::string>& simArgs, SpawnedProgram::Env env = {}) {
        testsupport::SimProcess tool;
        EXPECT_TRUE(tool.Start(simArgs));
        ports = "1=" + tool.DevicePath();
        Launch({"read"}, std::move(env));
        return Finish();
    }
    std::string HistoryPath() const { return home.Path() + "/state/quarvel/history.sqlite3"; }
};

// Two tools read twice each, one service visit between: the views' numbers in all three formats, and
// the CSV as Python's csv module reads it.
TEST_F(CliHistory, ViewsShowCyclesSincePreviousAndServiceAndDueInEveryFormat) {
    WriteSettings("sz:ServiceInterval=3000\nsz:Technician= Ann Lee \n");
    const std::vector<std::string> a = {"--tool-serial", "T-417",        "--controller-serial",
                                        "C-981",         "--tool-model", "RK-9 \"6,0\""};
    const std::vector<std::string> b = {"--tool-serial", "T-520", "--controller-serial", "C-990"};
    auto with = [](std::vector<std::string> args, const char* total) {
        args.insert(args.end(), {"--total-counter", total});
        return args;
    };
    EXPECT_EQ(ReadTool(with(a, "873")).exitCode, 0);
    EXPECT_EQ(ReadTool(with(b, "12000")).exitCode, 0);
    CliResult r = Run({"history", "serviced", "--tool", "T-417", "--note", "new die"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadTool(with(a, "1373")).exitCode, 0);
    EXPECT_EQ(ReadTool(with(b, "15500")).exitCode, 0);
    EXPECT_EQ(Run({"history", "serviced", "--tool", "T-999"}).exitCode, 6);

    r = Run({"history", "--format", "json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto fleet = nlohmann::json::parse(r.out);
    ASSERT_EQ(fleet.size(), 2u) << r.out;
    EXPECT_EQ(fleet[0]["tool_serial"], "T-417");
    EXPECT_EQ(fleet[0]["total_counter"], 1373);
    EXPECT_EQ(fleet[0]["cycles_since_previous"], 500);
    EXPECT_EQ(fleet[0]["cycles_since_service"], 500);
    EXPECT_EQ(fleet[0]["service_due"], false);
    EXPECT_EQ(fleet[1]["tool_serial"], "T-520");
    EXPECT_EQ(fleet[1]["cycles_since_previous"], 3500);
    EXPECT_EQ(fleet[1]["cycles_since_service"], 15500);  // never serviced: since new
    EXPECT_EQ(fleet[1]["service_due"], true);
    EXPECT_EQ(fleet[1]["port"].get<std::string>().rfind("/dev/pts/", 0), 0u) << fleet[1]["port"];
    EXPECT_EQ(fleet[1]["technician"], "Ann Lee");  // the settings value, trimmed
    EXPECT_EQ(fleet[1]["id"].get<std::string>().size(), 36u) << fleet[1]["id"];
    for (const char* field :
         {"read_at", "tool_model", "controller_serial", "firmware_version", "cycle_counter",
          "stop_position_mm", "force_kn", "result", "direction", "device_info", "keep_alive"})
        EXPECT_TRUE(fleet[0].contains(field)) << field;

    r = Run({"history", "--tool", "T-417", "--format", "json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto reads = nlohmann::json::parse(r.out);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_TRUE(reads[0]["cycles_since_previous"].is_null());
    EXPECT_EQ(reads[0]["cycles_since_service"], 0);  // the visit starts from this read
    EXPECT_EQ(reads[1]["cycles_since_previous"], 500);

    r = Run({"history"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_NE(r.out.find("Since previous"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Mechanical breakup  Ann Lee  "), std::string::npos) << r.out;
    const std::string first = r.out.substr(r.out.find("T-417"));
    EXPECT_EQ(first.substr(first.find('\n') - 9, 10), "  not due\n") << r.out;
    const std::string second = r.out.substr(r.out.find("T-520"));
    EXPECT_EQ(second.substr(second.find("  due")), "  due: 15,500 cycles since service\n") << r.out;

    const std::string csvPath = home.Path() + "/fleet.csv";
    r = Run({"history", "--format", "csv", "--output", csvPath});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::vector<unsigned char> bytes = FileBytes(csvPath);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 3),
              (std::vector<unsigned char>{0xEF, 0xBB, 0xBF}));
    SpawnedProgram python;
    std::string error;
    ASSERT_TRUE(python.Start({"/usr/bin/python3", "-c",
                              "import csv, json, sys\n"
                              "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                              "    print(json.dumps(list(csv.DictReader(f))))\n",
                              csvPath},
                             {}, &error))
        << error;
    int code = -1;
    ASSERT_TRUE(python.WaitForExit(kRunMs, &code));
    ASSERT_EQ(code, 0) << python.Err();
    const auto rows = nlohmann::json::parse(python.Out());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["tool_model"], "RK-9 \"6,0\"");
    EXPECT_EQ(rows[0]["cycles_since_service"], "500");
    EXPECT_EQ(rows[1]["service_due"], "true");
    EXPECT_EQ(rows[1]["total_counter"], "15500");

    r = Run({"history", "--since", "2999-01-01", "--format", "json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "[]\n");
}

// The counters as a service manager needs them: a total counter that went back is a reset (never a
// negative number of cycles, and the cycles since service count on from it), a tool read with another
// controller says so, a visit names its controller (and asks for one when the tool had several), and
// --due lists what is due, most overdue first.
TEST_F(CliHistory, ResetsAndControllerChangesAreNamedAndTheDueListIsMostOverdueFirst) {
    WriteSettings("sz:ServiceInterval=3000\n");
    auto read = [&](const char* tool, const char* controller, const char* total) {
        const CliResult r =
            ReadTool({"--tool-serial", tool, "--controller-serial", controller, "--total-counter", total});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    };
    read("T-1", "C-1", "5000");
    CliResult r = Run({"history", "serviced", "--tool", "T-1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("serviced: tool T-1 with controller C-1 at total counter 5000 (visit 0", 0), 0u)
        << r.out;
    read("T-1", "C-1", "500");
    read("T-1", "C-1", "3600");
    r = Run({"history", "--tool", "T-1", "--format", "json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto reads = nlohmann::json::parse(r.out);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_TRUE(reads[1]["cycles_since_previous"].is_null());
    EXPECT_EQ(reads[1]["counter_reset"], true);
    EXPECT_EQ(reads[1]["cycles_since_service"], 500);
    EXPECT_EQ(reads[2]["cycles_since_previous"], 3100);
    EXPECT_EQ(reads[2]["counter_reset"], false);
    EXPECT_EQ(reads[2]["cycles_since_service"], 3600);
    EXPECT_EQ(reads[2]["service_due"], true);
    EXPECT_EQ(reads[2]["service_state"], "due");

    read("T-1", "C-2", "100");  // the tool moved to another controller
    r = Run({"history", "--tool", "T-1"});
    EXPECT_NE(r.out.find("C-2 (was C-1)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  reset  "), std::string::npos) << r.out;
    r = Run({"history", "serviced", "--tool", "T-1"});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_NE(r.err.find("several controllers (C-2, C-1); say which with --controller"), std::string::npos)
        << r.err;
    EXPECT_EQ(Run({"history", "serviced", "--tool", "T-1", "--controller", "C-9"}).exitCode, 6);
    r = Run({"history", "serviced", "--tool", "T-1", "--controller", "C-1", "--note", "recalibrated"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("serviced: tool T-1 with controller C-1 at total counter 3600 (visit 0", 0), 0u)
        << r.out;

    read("T-2", "C-5", "2800");  // 93 % of the interval: due soon
    read("T-3", "C-6", "9000");  // three intervals: the most overdue
    read("T-4", "C-7", "3000");  // just reached
    r = Run({"history", "--due"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(r.out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[1].rfind("due: 9,000 cycles since service"), lines[1].size() - 31) << r.out;
    EXPECT_NE(lines[2].find("T-4"), std::string::npos) << r.out;
    EXPECT_NE(lines[3].find("due soon: 2,800 of 3,000 cycles"), std::string::npos) << r.out;
    EXPECT_EQ(Run({"history", "--due", "--tool", "T-1"}).exitCode, 2);
    EXPECT_EQ(Run({"history", "--controller", "C-1"}).exitCode, 2);
}

// The certificate of a visit as a technician hands it over: every field on the page (its text as
// pdftotext extracts it), in English and in Bulgarian (Cyrillic, from the embedded font), and a page
// that renders.
TEST_F(CliHistory, ACertificateCarriesEveryFieldInTheLanguageOfTheSettings) {
    const std::string settings =
        "sz:ServiceInterval=3000\nsz:ServiceIntervalDays=365\nsz:Technician=Ann Lee\n"
        "sz:CertificateHeader=Kordane Service Ltd\\n12 Mill Road, Leeds\n";
    WriteSettings(settings);
    for (const char* total : {"1200", "2600"}) {
        const CliResult r = ReadTool({"--tool-serial", "T-417", "--controller-serial", "C-981",
                                      "--total-counter", total, "--firmware-version", "1.04"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    CliResult r = Run({"history", "serviced", "--tool", "T-417", "--note", "new die; calibrated"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string visit = r.out.substr(r.out.find("(visit ") + 7, 36);
    const auto text = [&](const std::string& pdf) {
        SpawnedProgram extract;
        std::string error;
        EXPECT_TRUE(extract.Start({"/usr/bin/pdftotext", "-layout", pdf, "-"}, {}, &error)) << error;
        int code = -1;
        EXPECT_TRUE(extract.WaitForExit(kRunMs, &code));
        EXPECT_EQ(code, 0) << extract.Err();
        return extract.Out();
    };

    const std::string english = home.Path() + "/certificate.pdf";
    r = Run({"certificate", "--tool", "T-417", "--visit", visit, "--output", english});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string page = text(english);
    for (const char* field : {"Kordane Service Ltd",
                              "12 Mill Road, Leeds",
                              "Service certificate",
                              "Tool Serial Number",
                              "T-417",
                              "Controller Serial Number",
                              "C-981",
                              "Controller Firmware Version",
                              "1.04",
                              "Total Counter",
                              "2600",
                              "Cycle Counter",
                              "Cycles since the previous service",
                              "2,600",
                              "Stop conditions",
                              "Mechanical breakup",
                              "Stop position",
                              "Last force recorded",
                              "Direction",
                              "Technician",
                              "Ann Lee",
                              "Date",
                              "Work done",
                              "new die; calibrated",
                              "Next service due",
                              "at total counter 5,600",
                              "whichever comes first",
                              "Signature",
                              "Total counter of the tool's reads"})
        EXPECT_NE(page.find(field), std::string::npos) << field << "\n" << page;

    WriteSettings(settings + "sz:Language=3\nsz:Language3=" + SourcePath("resources/lang/bg.json") + "\n");
    const std::string bulgarian = home.Path() + "/сертификат.pdf";
    r = Run({"certificate", "--tool", "T-417", "--output", bulgarian});  // the last visit
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string cyrillic = text(bulgarian);
    for (const char* field : {"Сертификат за обслужване", "Сериен номер", "Техник", "Извършена работа",
                              "при общ брояч 5 600", "Подпис", "T-417", "г."})
        EXPECT_NE(cyrillic.find(field), std::string::npos) << field << "\n" << cyrillic;

    SpawnedProgram render;
    std::string error;
    ASSERT_TRUE(render.Start(
        {"/usr/bin/pdftoppm", "-png", "-r", "40", "-singlefile", english, home.Path() + "/page"}, {}, &error))
        << error;
    int code = -1;
    ASSERT_TRUE(render.WaitForExit(kRunMs, &code));
    EXPECT_EQ(code, 0) << render.Err();
    EXPECT_GT(FileBytes(home.Path() + "/page.png").size(), 1000u);

    // A tool never serviced whose counter went back (5000, then 500): 5,500 cycles since new, past the
    // interval, so the next service is due at once, at the counter it shows, never at a negative one.
    for (const char* total : {"5000", "500"}) {
        ASSERT_EQ(ReadTool({"--tool-serial", "T-418", "--total-counter", total}).exitCode, 0);
    }
    WriteSettings(settings);
    r = Run({"certificate", "--tool", "T-418", "--output", english});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string reset = text(english);
    EXPECT_NE(reset.find("Tool reading"), std::string::npos) << reset;
    EXPECT_NE(reset.find("5,500"), std::string::npos) << reset;  // cycles since new, across the reset
    EXPECT_NE(reset.find("at total counter 500 "), std::string::npos) << reset;

    EXPECT_EQ(Run({"certificate", "--tool", "T-999", "--output", english}).exitCode, 6);
    EXPECT_EQ(Run({"certificate", "--tool", "T-417", "--visit", "not-a-uuid", "--output", english}).exitCode,
              2);
    EXPECT_EQ(Run({"certificate", "--tool", "T-417"}).exitCode, 2);
}

// A hostile tool: a serial a spreadsheet would run, a model that would clear and retitle the terminal. Every
// CSV we write neutralises the formula; text for the terminal shows the control characters escaped; the
// report file and json carry the text as it came.
TEST_F(CliHistory, AHostileToolsTextsAreNeverRunNorSentRawToTheTerminal) {
    const std::string formula = "=cmd|'/c calc'!A1";
    const std::string steering = "T\x1b[2J\x1b]0;owned\aX";
    const std::string shown = "T\\x1B[2J\\x1B]0;owned\\x07X";
    testsupport::SimProcess tool;
    ASSERT_TRUE(tool.Start({"--tool-serial", formula, "--tool-model", steering}));
    ports = "1=" + tool.DevicePath();
    const std::string csv = home.Path() + "/r.csv";
    CliResult r = Run({"read", "--report", csv});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Tool : " + shown + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    EXPECT_NE(r.out.find("Tool Serial Number : " + formula + "\n"), std::string::npos) << r.out;
    const std::vector<unsigned char> bytes = FileBytes(csv);
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    const std::string report = Utf16ToUtf8(units);
    EXPECT_NE(report.find("\"Tool Serial Number\",\"'" + formula + "\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"Tool\",\"" + steering + "\""), std::string::npos)
        << report;  // the file keeps it

    r = Run({"read", "--format", "csv"});
    EXPECT_NE(r.out.find("\"'" + formula + "\""), std::string::npos) << r.out;
    r = Run({"history"});
    EXPECT_NE(r.out.find(shown), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
    r = Run({"history", "--format", "csv"});
    EXPECT_NE(r.out.find(",'" + formula + ","), std::string::npos) << r.out;
    r = Run({"history", "--format", "json"});
    EXPECT_EQ(nlohmann::json::parse(r.out)[0]["tool_serial"], formula);
    EXPECT_EQ(nlohmann::json::parse(r.out)[0]["tool_model"], steering);
}

// A pack that lacks a string of the application's table is refused whole (English stays); a pack made
// before the history existed loads, and the history's texts it lacks come in English.
TEST_F(CliHistory, LanguagePacksAreCompleteOrRefusedAndLaterStringsComeInEnglish) {
    auto pack = nlohmann::json::parse(ReadWholeFile(SourcePath("resources/lang/fr.json")));
    for (auto it = pack["strings"].begin(); it != pack["strings"].end();) {
        it = std::stoi(it.key()) >= 140 ? pack["strings"].erase(it) : std::next(it);
    }
    const std::string older = home.Path() + "/fr-older.json";
    std::ofstream(older) << pack.dump();
    pack["strings"].erase("112");
    const std::string broken = home.Path() + "/fr-broken.json";
    std::ofstream(broken) << pack.dump();

    ASSERT_EQ(ReadTool({}).exitCode, 0);
    WriteSettings("sz:Language=1\nsz:Language1=" + broken + "\n");
    CliResult r = ReadTool({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kDefaultToolText);  // the built-in English module
    WriteSettings("sz:Language=1\nsz:Language1=" + older + "\n");
    r = ReadTool({});
    EXPECT_NE(r.out.find("Numéro de série"), std::string::npos) << r.out;
    r = Run({"history"});
    EXPECT_EQ(r.out.rfind("Date  ", 0), 0u) << r.out;  // the header from the built-in module, not blank
    EXPECT_NE(r.out.find("Since previous"), std::string::npos) << r.out;
}

// Viewing needs no write access: the history is shown from a read-only folder and from a full disk. Both in
// a mount namespace of the test's own (a read-only bind mount, a small full tmpfs), gone with the shell.
TEST_F(CliHistory, TheHistoryIsShownFromAReadOnlyFolderAndAFullDisk) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "read-only bind mounts and a full tmpfs need root (CI runs as root)";
    ASSERT_EQ(ReadTool({}).exitCode, 0);
    ASSERT_EQ(ReadTool({"--total-counter", "1000"}).exitCode, 0);
    const std::string state = home.Path() + "/state/quarvel";
    const std::string full = home.Path() + "/full";
    fs::create_directories(full);
    const std::string script =
        "unshare -m sh -c '"
        "mount --bind -o ro \"$1\" \"$1\" && XDG_STATE_HOME=\"$1/..\" \"$0\" history --format json || exit "
        "9; "
        "mount -t tmpfs -o size=256k tmpfs \"$2\" && mkdir \"$2/quarvel\" && cp \"$1/history.sqlite3\" "
        "\"$2/quarvel/\" && "
        "{ head -c 1048576 /dev/zero > \"$2/fill\"; XDG_STATE_HOME=\"$2\" \"$0\" history --tool T-417 "
        "--format csv; }"
        "' \"$0\" " +
        state + " " + full + "; exit $?";
    const CliResult r = RunInShell("--version > /dev/null; " + script, {});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    const std::size_t split = r.out.find("]\n");
    ASSERT_NE(split, std::string::npos) << r.out;
    EXPECT_EQ(nlohmann::json::parse(r.out.substr(0, split + 2)).size(), 1u) << r.out;  // the fleet, read-only
    const std::string csv = r.out.substr(split + 2);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;  // the header and both reads, disk full
}

// History=0 keeps nothing; a store that cannot be written costs the row and one line, never the read.
TEST_F(CliHistory, AReadSucceedsWhateverTheStore) {
    WriteSettings("sz:History=0\n");
    CliResult r = ReadTool({});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(HistoryPath()));
    r = Run({"history", "--format", "json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "[]\n");  // an empty (here: absent) history is no error

    WriteSettings("");
    std::ofstream(home.Path() + "/not-a-folder") << "x";
    r = ReadTool({}, {{"XDG_STATE_HOME", home.Path() + "/not-a-folder"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kDefaultToolText);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("this read was not kept"), std::string::npos) << r.err;
}
