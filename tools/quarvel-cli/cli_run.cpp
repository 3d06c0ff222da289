#include "cli_run.h"

#include "cli_certificate.h"
#include "cli_doctor.h"
#include "cli_exit.h"
#include "cli_history.h"
#include "cli_options.h"
#include "cli_ports.h"
#include "cli_read.h"
#include "cli_team.h"

namespace {
int RunCommand(const std::vector<std::string>& args, CCliMainWindow& window, CCliConsole& console) {
    const CliParse parse = ParseCliArguments(args);
    if (!parse.ok) {
        console.Error(parse.error);
        console.ErrLine("Try 'quarvel-cli --help'.");
        return kExitUsage;
    }
    switch (parse.options.command) {
        case CliCommand::Help:
            console.Out(CliUsage());
            return kExitOk;
        case CliCommand::Version:
            console.Out(std::string(kCliVersion) + "\n");
            return kExitOk;
        case CliCommand::Ports:
            return RunPortsCommand(console);
        case CliCommand::Doctor:
            return RunDoctorCommand(parse.options.format, console);
        case CliCommand::Read:
        case CliCommand::Watch:
            return RunReadCommand(parse.options, window, console);
        case CliCommand::History:
            return RunHistoryCommand(parse.options, console);
        case CliCommand::Certificate:
            return RunCertificateCommand(parse.options, console);
        case CliCommand::Sync:
            return RunSyncCommand(parse.options, console);
        case CliCommand::ServerInit:
            return RunServerInitCommand(parse.options, console);
        case CliCommand::ServerRestored:
            return RunServerRestoredCommand(parse.options, console);
    }
    return kExitUsage;
}
}  // namespace

int RunCli(const std::vector<std::string>& args, CCliMainWindow& window, CCliConsole& console) {
    const int exit = RunCommand(args, window, console);
    // Output that did not reach its reader is a failure, whatever the command did besides.
    if (!console.OutputFailed()) return exit;
    console.Error("the output could not be written: " + console.OutputError());
    return exit == kExitOk ? kExitOutput : exit;
}
