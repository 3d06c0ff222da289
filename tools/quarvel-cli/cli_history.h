#pragma once
// `quarvel-cli history` (the fleet or one tool's reads, as text, csv or json) and `history serviced`.
// Main thread; opens the history store for the command's length.
#include "cli_console.h"
#include "cli_options.h"

int RunHistoryCommand(const CliOptions& options, CCliConsole& console);
