#pragma once
// quarvel-cli's command line: what to do and with which options. Parsing is pure; main thread only.
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

enum class CliCommand {
    Help,
    Version,
    Ports,
    Read,
    Watch,
    Doctor,
    History,
    ServerInit,
    ServerRestored,
    Sync,
    Certificate
};
enum class CliFormat { Text, Csv, Json };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    std::optional<int> port;        // COMn, 1..256; default: the saved port
    std::optional<int> speedIndex;  // 0..9; default: the saved speed
    std::optional<std::string> reportPath;
    std::optional<std::string> reportDir;  // --report-dir: one report per tool read, named after its serial
    bool reconnect = false;                // watch --reconnect: tool after tool on the same port
    CliFormat format = CliFormat::Text;
    bool trace = false;
    // history: `history serviced` records a visit; --tool picks one tool (required for serviced).
    bool serviced = false;
    std::optional<std::string> tool;
    std::optional<std::string> note;
    std::optional<std::string> controller;  // history serviced: the controller, when several were seen
    bool due = false;                       // history --due: the tools due or due soon, most overdue first
    std::optional<std::string> visit;       // certificate: the visit's id (default: the tool's last visit)
    std::optional<std::string> since;       // YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS[Z], UTC
    std::optional<std::string> outputPath;  // the view goes to this file instead of standard output
    // server init, sync: the team's history server instead of the settings value HistoryServer.
    std::optional<std::string> server;
    // For tests only: the engine's reply time-out in milliseconds (the tool's is 4000).
    DWORD replyTimeoutMs = 4000;
};

struct CliParse {
    bool ok = false;
    CliOptions options;
    std::string error;  // names the argument that was wrong
};

CliParse ParseCliArguments(const std::vector<std::string>& args);

// The --help text.
std::string CliUsage();
// The parts of the usage text that differ between systems (cli_usage_posix.cpp, cli_usage_win.cpp): the
// doctor's command, the environment and files, and the exit statuses of a stopped read.
std::string CliDoctorUsageOfThisSystem();
std::string CliUsageOfThisSystem();
std::string CliStopStatusesOfThisSystem();
inline constexpr const char* kCliVersion = "quarvel-cli 1.2";
