#pragma once
// The named values of one history row, in output order: the names and values of `quarvel-cli read
// --format json`, with read_at first and port, cycles_since_previous, cycles_since_service,
// service_due, technician and id (the record's UUID) last. The CSV export and the CLI's json both render
// these. Pure apart from the string table (the result and direction texts in the current language); any
// thread.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "history/history_read.h"

using HistoryValue = std::variant<std::monostate, std::string, std::int64_t, double, bool>;
using HistoryFieldList = std::vector<std::pair<const char*, HistoryValue>>;

HistoryFieldList HistoryFields(const HistoryRow& row);

// The CSV of a view: UTF-8 with a byte-order mark, one header row of the field names, comma-separated,
// each text quoted when it holds a comma, quote or line break, with its quotes doubled; CRLF line ends.
std::string HistoryCsv(const std::vector<HistoryRow>& rows);
