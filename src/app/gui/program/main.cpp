// quarvel: the service utility's program. The application object is built before main runs; main only
// answers --version and --help itself and hands everything else to the framework.
#include <cstdio>
#include <cstring>

#include "app/gui/program_info.h"
#include "app/gui/quarvel_app.h"
#include "app/gui/quarvel_dlg.h"
#include "platform/threads/main_window.h"
#include "platform/threads/stop_signal.h"

namespace {
CQuarvelApp theApp;

// The first two lines hold everywhere; ports and settings are where each system keeps them.
constexpr const char* kUsage =
    "Usage: quarvel [--version | --help]\n"
    "Reads an RK-9 crimping press tool over a serial port and shows its data.\n"
#ifdef _WIN32
    "Serial ports: COMn is the port Device Manager shows under \"Ports (COM & LPT)\".\n"
    "Settings: the registry key HKEY_CURRENT_USER\\Software\\Kordane\\Quarvel.\n";
#else
    "Serial ports: COMn maps to a device through the port table; QUARVEL_PORTS replaces it,\n"
    "for example QUARVEL_PORTS=1=/dev/pts/3,7=/dev/ttyUSB0.\n"
    "Settings: $XDG_CONFIG_HOME (default ~/.config) holds the per-user key.\n";
#endif
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", kVersionText);
        return 0;
    }
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Before Qt starts any thread: SIGTERM, SIGINT and SIGHUP (a log-out) then reach only the watcher, which
    // asks the window to end the program as Exit would (port closed, lock removed). A program that cannot
    // answer within two seconds (no window yet, say) is ended at once, its port's lock removed.
    StopSignalWatcher stopWatcher(
        [](int signal) { PostToMainWindow(WM_QUARVEL_STOP, static_cast<WPARAM>(signal), 0); },
        std::chrono::seconds(2));
    return AfxWinMain(argc, argv);
}
