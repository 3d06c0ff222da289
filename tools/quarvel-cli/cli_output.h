#pragma once
// The CLI's standard-output layouts of a ToolRecord, as UTF-8. Pure apart from the string table;
// main thread only.
#include <string>

#include "app/session/tool_record.h"
#include "cli_options.h"

// Text and csv: the report layouts, piece for piece, converted to UTF-8. Json: one object with stable
// field names, the converted values beside the raw readings, on one line when `oneLine` (for scripts that
// follow a stream of records).
std::string FormatToolRecord(const ToolRecord& record, CliFormat format, bool oneLine = false);
