// quarvel-cli's pieces in-process: argument parsing and usage errors, the trace decorator's frame
// splitting.
#include <gtest/gtest.h>

#include <sstream>

#include "cli_exit.h"
#include "cli_options.h"
#include "cli_run.h"
#include "support/scripted_link.h"
#include "trace_link.h"

namespace {
int RunArgs(const std::vector<std::string>& args, std::string* out, std::string* err) {
    std::ostringstream o, e;
    CCliConsole console(o, e);
    CCliMainWindow window;
    const int code = RunCli(args, window, console);
    *out = o.str();
    *err = e.str();
    return code;
}
}  // namespace

TEST(CliOptions, ParsesEveryOptionInBothForms) {
    const CliParse p =
        ParseCliArguments({"watch", "--port", "COM7", "--speed=3", "--report", "a.csv", "--format", "json",
                           "--trace", "--reply-timeout=250", "--reconnect", "--report-dir=out"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.command, CliCommand::Watch);
    EXPECT_EQ(p.options.port, 7);
    EXPECT_EQ(p.options.speedIndex, 3);
    EXPECT_EQ(p.options.reportPath, "a.csv");
    EXPECT_EQ(p.options.format, CliFormat::Json);
    EXPECT_TRUE(p.options.trace);
    EXPECT_EQ(p.options.replyTimeoutMs, 250u);
    EXPECT_TRUE(p.options.reconnect);
    EXPECT_EQ(p.options.reportDir, "out");
    // A speed of the list in bit/s is its index.
    EXPECT_EQ(ParseCliArguments({"read", "--speed", "9600"}).options.speedIndex, 3);
    EXPECT_EQ(ParseCliArguments({"read", "--speed=115200"}).options.speedIndex, 9);
    const CliParse plain = ParseCliArguments({"read"});
    ASSERT_TRUE(plain.ok);
    EXPECT_FALSE(plain.options.port);
    EXPECT_EQ(plain.options.format, CliFormat::Text);
    EXPECT_EQ(plain.options.replyTimeoutMs, 4000u);
    const CliParse history =
        ParseCliArguments({"history", "--tool=T-1", "--since", "2026-01-02", "--output", "f.csv"});
    ASSERT_TRUE(history.ok) << history.error;
    EXPECT_EQ(history.options.command, CliCommand::History);
    EXPECT_EQ(history.options.tool, "T-1");
    EXPECT_EQ(history.options.since, "2026-01-02");
    EXPECT_EQ(history.options.outputPath, "f.csv");
    const CliParse serviced =
        ParseCliArguments({"history", "serviced", "--tool", "T-1", "--note", "die, new"});
    ASSERT_TRUE(serviced.ok) << serviced.error;
    EXPECT_TRUE(serviced.options.serviced);
    EXPECT_EQ(serviced.options.note, "die, new");
}

TEST(CliOptions, UsageErrorsNameTheBadArgument) {
    const struct {
        std::vector<std::string> args;
        const char* named;
    } cases[] = {
        {{}, "missing command"},
        {{"frobnicate"}, "'frobnicate'"},
        {{"read", "--port", "0"}, "'--port 0'"},
        {{"read", "--port", "257"}, "'--port 257'"},
        {{"read", "--port", "7x"}, "'--port 7x'"},
        {{"read", "--speed", "10"}, "'--speed 10'"},
        {{"read", "--speed", "9601"}, "'--speed 9601'"},
        {{"read", "--format", "xml"}, "'--format xml'"},
        {{"read", "--speed"}, "'--speed' needs a value"},
        {{"read", "--bogus"}, "'--bogus'"},
        {{"read", "--trace=1"}, "'--trace'"},
        {{"ports", "--port", "3"}, "'--port' does not apply"},
        {{"read", "--report", "\xff.txt"}, "not a UTF-8"},
        {{"read", "--reconnect"}, "'--reconnect' applies to 'watch' only"},
        {{"watch", "--reconnect=yes"}, "'--reconnect' takes no value"},
        {{"watch", "--report-dir"}, "'--report-dir' needs a value"},
        {{"doctor", "--port", "3", "--format", "json"}, "'--port' does not apply to 'doctor'"},
        {{"doctor", "--format", "csv"}, "'doctor' prints text or json"},
        {{"history", "--port", "3"}, "'--port' does not apply to 'history'"},
        {{"read", "--tool", "T-1"}, "'--tool' applies to 'history' only"},
        {{"history", "serviced"}, "needs '--tool SERIAL'"},
        {{"history", "serviced", "--tool", "T", "--format", "csv"},
         "'--format' does not apply to 'history serviced'"},
        {{"history", "--note", "x"}, "'--note' applies to 'history serviced' only"},
        {{"history", "--since", "2026-1-2"}, "'--since 2026-1-2'"},
        {{"server"}, "'server' needs 'init' or 'restored'"},
        {{"server", "restart"}, "'server' needs 'init' or 'restored'"},
        {{"server", "restored", "--port", "3"}, "'--port' does not apply to 'server restored'"},
    };
    for (const auto& c : cases) {
        std::string out, err;
        EXPECT_EQ(RunArgs(c.args, &out, &err), kExitUsage) << c.named;
        EXPECT_NE(err.find(c.named), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
}

TEST(CliOptions, HelpAndVersion) {
    std::string out, err;
    EXPECT_EQ(RunArgs({"--version"}, &out, &err), 0);
    EXPECT_EQ(out, "quarvel-cli 1.2\n");
    EXPECT_EQ(RunArgs({"read", "--help"}, &out, &err), 0);
    for (const char* topic :
         {"ports", "watch", "--reconnect", "--report-dir", "doctor", "--port", "--speed", "--report",
          "--format", "--trace", "--reply-timeout", "server restored", "Exit status"}) {
        EXPECT_NE(out.find(topic), std::string::npos) << topic;
    }
    // What is true on this system only: the port table and the folders here, the registry on Windows.
#ifdef _WIN32
    for (const char* topic :
         {"HKEY_CURRENT_USER\\Software\\Kordane\\Quarvel", "%LOCALAPPDATA%", "Ctrl+Break"})
        EXPECT_NE(out.find(topic), std::string::npos) << topic;
    EXPECT_EQ(out.find("QUARVEL_PORTS"), std::string::npos);
#else
    for (const char* topic : {"QUARVEL_PORTS", "QUARVEL_SYSFS_ROOT", "XDG_STATE_HOME", "SIGHUP"})
        EXPECT_NE(out.find(topic), std::string::npos) << topic;
#endif
}

TEST(TraceLink, ReportsWrittenFramesAndReassemblesReceivedOnes) {
    auto inner = std::make_unique<ScriptedLink>();
    ScriptedLink& link = *inner;
    std::vector<std::string> lines;
    CTraceLink trace(std::move(inner), [&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(trace.IsOpen());
    const BYTE request[] = {0x55, 0x44, 0x00, 0x44};
    std::uint32_t written = 0;
    trace.Write(4, request, &written);
    // A reply cut in two reads, with a stray byte before it, arrives as one frame line.
    link.Feed({0x13, 0x55, 0x5A, 0x01});
    link.Feed({0x07, 0x5C});
    BYTE buffer[8];
    std::uint32_t got = 0;
    trace.Read(4, buffer, &got);
    trace.Read(2, buffer, &got);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("ms] -> 55 44 00 44"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("(noise) 13"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("ms] <- 55 5A 01 07 5C"), std::string::npos) << lines[2];
    EXPECT_EQ(link.RequestCodes(), std::vector<BYTE>{0x44});  // the bytes went on to the wrapped link

    // A length byte outside the format: said to be dropped, and the hunt resumes after it as the receiver's.
    link.Feed({0x55, 0x5A, 0x80, 0x55, 0x5A, 0x00, 0x5A});
    trace.Read(7, buffer, &got);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[3].find("dropped: length byte 0x80 or more"), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find(" 55 5A 80"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("ms] <- 55 5A 00 5A"), std::string::npos) << lines[4];
}
