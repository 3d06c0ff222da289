// quarvel-cli: reads the tool over a serial port as Connect does, without a window (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "cli_exit.h"
#include "cli_run.h"
#include "platform/stop_signal.h"

int main(int argc, char** argv) {
    CCliMainWindow window;
    // Before any other thread starts, so SIGINT and SIGTERM reach only the watcher's thread. The first
    // signal asks for a clean stop; a second one, or the first left unanswered for two seconds (a session
    // still waiting for a silent tool), ends the process at once with its port released by the kernel.
    StopSignalWatcher stopWatcher([&window](int) { window.PostMessageW(WM_CLI_STOP, 0, 0); },
                                  std::chrono::seconds(2));
    CCliConsole console(std::cout, std::cerr);
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), window, console);
}
