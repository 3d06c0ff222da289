#pragma once
// The CLI's standard-output layouts of a ToolRecord, as UTF-8. Pure apart from the string table;
// main thread only.
#include <string>

#include "cli_options.h"
#include "record/tool_record.h"

// Text and csv: the report layouts, piece for piece, converted to UTF-8; in the text layout a control
// character of a tool's text is shown escaped (see ShowControlCharacters). Json: one object with stable
// field names, the converted values beside the raw readings, on one line when `oneLine` (for scripts that
// follow a stream of records).
std::string FormatToolRecord(const ToolRecord& record, CliFormat format, bool oneLine = false);

// A text for a terminal or a text stream: every control character (U+0000..U+001F, U+007F and the C1
// range U+0080..U+009F) as \xHH or \u00HH, so a text from the tool can neither steer the terminal (clear
// it, retitle it) nor break a line or a table. Everything else stays as it is.
std::string ShowControlCharacters(const std::string& utf8);
