#pragma once
// `quarvel-cli ports`: the ports that open, and why the others that exist do not. Main thread.
#include "cli_console.h"

// Returns the exit code: 0 when at least one port opened, 3 (after message 126) when none did.
int RunPortsCommand(CCliConsole& console);
