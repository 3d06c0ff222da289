#pragma once
// quarvel-cli as a function, for main() and for in-process tests. Main thread.
#include <string>
#include <vector>

#include "cli_console.h"
#include "cli_main_window.h"

// Parses `args` (without the program name), runs the command and returns the exit code.
int RunCli(const std::vector<std::string>& args, CCliMainWindow& window, CCliConsole& console);
