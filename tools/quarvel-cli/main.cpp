// quarvel-cli: reads the tool over a serial port as Connect does, without a window (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli_exit.h"
#include "cli_run.h"
#include "platform/system/standard_streams.h"
#include "platform/threads/stop_signal.h"

int main(int argc, char** argv) {
    ReserveStandardStreams();
    CCliMainWindow window;
    // Before any other thread starts, so SIGINT and SIGTERM reach only the watcher's thread. The first
    // signal asks for a clean stop (a session still reading is cut short); a second one, or the first left
    // unanswered for two seconds, ends the process at once with its port released by the kernel. A reader
    // of standard output that goes away is a stop too.
    StopSignalWatcher stopWatcher(
        [&window](int signal) { window.PostMessageW(WM_CLI_STOP, static_cast<WPARAM>(signal), 0); },
        std::chrono::seconds(2), true);
    CCliConsole console(std::cout, std::cerr);
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), window, console);
}
