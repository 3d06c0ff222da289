#pragma once
// `quarvel-cli certificate --tool SERIAL [--visit ID] --output FILE.pdf`: the service certificate of a
// visit (or of the last read of a tool never serviced) as a PDF. Main thread.
#include "cli_console.h"
#include "cli_options.h"

int RunCertificateCommand(const CliOptions& options, CCliConsole& console);
