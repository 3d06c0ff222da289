// quarvel-cli as a program, over a pseudo-terminal, against the rk9-sim program: what it prints, its
// exit codes, the report file, the trace and the watch's endings. Every test has its own settings
// directory (XDG_CONFIG_HOME) and port table (QUARVEL_PORTS naming the simulator's pty).
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <nlohmann/json.hpp>

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
    void Launch(const std::vector<std::string>& args, SpawnedProgram::Env env = {}) {
        std::vector<std::string> argv = {BuiltProgram("tools/quarvel-cli/quarvel-cli")};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        cliPtr = std::make_unique<SpawnedProgram>();  // one child per run
        env.insert(env.begin(), {{"QUARVEL_PORTS", ports}, {"XDG_CONFIG_HOME", home.Path()}});
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
    WriteSettings("sz:ServiceInterval=3000\n");
    const std::vector<std::string> a = {"--tool-serial", "T-417", "--controller-serial", "C-981",
                                        "--tool-model", "RK-9 \"6,0\""};
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
    for (const char* field : {"read_at", "tool_model", "controller_serial", "firmware_version", "cycle_counter",
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
    const std::string second = r.out.substr(r.out.find("T-520"));
    EXPECT_EQ(second.substr(second.find('\n') - 4), " due\n") << r.out;

    const std::string csvPath = home.Path() + "/fleet.csv";
    r = Run({"history", "--format", "csv", "--output", csvPath});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::vector<unsigned char> bytes = FileBytes(csvPath);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 3), (std::vector<unsigned char>{0xEF, 0xBB, 0xBF}));
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
