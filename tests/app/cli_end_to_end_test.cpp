// quarvel-cli as a program, over a pseudo-terminal, against the rk9-sim program: what it prints, its
// exit codes, the report file, the trace and the watch's endings. Every test has its own settings
// directory (XDG_CONFIG_HOME) and port table (QUARVEL_PORTS naming the simulator's pty).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "../report/report_fixtures.h"
#include "platform/utf8.h"
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
    void Launch(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {BuiltProgram("tools/quarvel-cli/quarvel-cli")};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        cliPtr = std::make_unique<SpawnedProgram>();  // one child per run
        ASSERT_TRUE(cli().Start(argv, {{"QUARVEL_PORTS", ports}, {"XDG_CONFIG_HOME", home.Path()}}, &error)) << error;
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

TEST_F(CliEndToEnd, ReadUsesTheSavedPortAndLanguageAndNeverWritesSettings) {
    StartSim({"--com", "7"});
    ports = "7=" + sim.DevicePath();
    const std::string settings = "sz:Language=1\nsz:Language1=" + SourcePath("resources/lang/fr.json") +
                                 "\nsz:COM=COM7\nsz:SPEED=3\n";
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
    EXPECT_NE(r.err.find("COM1 (/nonexistent/quarvel-no-such-port) would not open"), std::string::npos) << r.err;
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
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// A read waiting on a tool that never answers: one signal ends it after its grace, a second at once.
// SIGINT is taken before a SIGTERM pending with it, so the second case ends with SIGTERM's number only
// when the second signal was what ended it.
TEST_F(CliEndToEnd, SignalsEndAReadBlockedOnASilentTool) {
    StartSim({"--silent"});
    for (const std::vector<int>& signals : {std::vector<int>{SIGTERM}, std::vector<int>{SIGINT, SIGTERM}}) {
        Launch({"read", "--trace", "--reply-timeout", "25000"});
        ASSERT_TRUE(cli().WaitForErr("-> 55 44 00 44", kRunMs)) << cli().Err();
        for (int signal : signals) cli().Signal(signal);
        const CliResult r = Finish();
        EXPECT_EQ(r.exitCode, 128 + SIGTERM) << signals.size() << " signal(s)\n" << r.err;
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

TEST_F(CliEndToEnd, WatchStopsCleanlyOnSigint) {
    StartSim();
    Launch({"watch"});
    ASSERT_TRUE(cli().WaitForLine("Direction : Forward", kRunMs, nullptr)) << cli().Err();
    cli().Signal(SIGINT);
    const CliResult r = Finish();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("Disconnected"), std::string::npos);
}
