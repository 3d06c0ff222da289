#pragma once
// `quarvel-cli read` and `quarvel-cli watch`: the Connect path without a window. Runs on the CLI's main
// thread; the session, engine and keep-alive threads reach it only through the window's queue.
#include "cli_console.h"
#include "cli_main_window.h"
#include "cli_options.h"

// Returns the exit code (see cli_exit.h). `window` receives WM_SESSION_STATUS, WM_LINK_LOST and the
// stop request (WM_CLI_STOP); it is installed as the main window while the command runs.
int RunReadCommand(const CliOptions& options, CCliMainWindow& window, CCliConsole& console);
