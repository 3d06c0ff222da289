#pragma once
// The layouts of a history view on standard output or in --output's file, as UTF-8. Pure apart from
// the string table; main thread.
#include <string>
#include <vector>

#include "cli_options.h"
#include "history/history_read.h"

// Text: aligned columns under a header of the current language; csv: HistoryCsv; json: an array of
// objects with the field names of HistoryFields.
std::string FormatHistory(const std::vector<HistoryRow>& rows, CliFormat format);
