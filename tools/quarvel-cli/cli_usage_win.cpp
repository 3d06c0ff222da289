// The usage text's parts for Windows: COM n is the system's own port, settings and history have their
// Windows places, and the console's events stand for the signals.
#include "cli_options.h"

std::string CliDoctorUsageOfThisSystem() {
    return R"text(  doctor     Why is my port not there? Every COM port Windows knows, with its kernel device,
             whether it would open and why not, with advice. --format json gives stable field
             names. Exits 0 when at least one port would open, 3 otherwise.
)text";
}

std::string CliUsageOfThisSystem() {
    return R"text(Files:
  COM n is the port Device Manager shows under "Ports (COM & LPT)" (\\.\COMn).
  HKEY_CURRENT_USER\Software\Kordane\Quarvel  The settings Quarvel saved.
  %LOCALAPPDATA%\Quarvel\history.sqlite3       The service history.

)text";
}

std::string CliStopStatusesOfThisSystem() {
    return R"text(  130, 143  read stopped by Ctrl+C, or by Ctrl+Break or the console's closing, log-off or
     shut-down (the session is cut short, the port released); a second one, or one that cannot
     be acted on within 2 s, ends any command at once with the same status
)text";
}
