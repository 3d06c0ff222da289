#include "history/history_fields.h"

#include <charconv>

#include "platform/resources/resource_module.h"
#include "platform/text/spreadsheet_guard.h"
#include "platform/text/utf8.h"
#include "record/tool_quantities.h"

namespace {
std::string Hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

std::string StringText(UINT id) { return Utf16ToUtf8(LoadStringW(id)); }

// For machines: the same in every language.
std::string ServiceStateName(ServiceState state) {
    switch (state) {
        case ServiceState::NotDue:
            return "not_due";
        case ServiceState::DueSoon:
            return "due_soon";
        case ServiceState::Due:
            return "due";
        case ServiceState::None:
            break;
    }
    return "";
}

std::string CsvCell(const HistoryValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        // Our own texts (times, result names, hex, paths) never start like a formula; the tool's may.
        const std::string cell = GuardSpreadsheetCell(*text);
        if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
        std::string quoted = "\"";
        for (char c : cell) {
            if (c == '"') quoted.push_back('"');
            quoted.push_back(c);
        }
        return quoted + "\"";
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&value)) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
        return std::string(buffer, result.ptr);
    }
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    return {};
}
}  // namespace

HistoryFieldList HistoryFields(const HistoryRow& row) {
    const HistoryRead& r = row.read;
    const auto n = [](std::uint32_t value) { return HistoryValue(static_cast<std::int64_t>(value)); };
    const bool keepAlive =
        r.deviceInfo.size() > static_cast<std::size_t>(kDeviceFlagsByte) &&
        (static_cast<unsigned char>(r.deviceInfo[kDeviceFlagsByte]) & kDeviceFlagKeepAlive) != 0;
    HistoryValue sincePrevious;
    if (row.cyclesSincePrevious) sincePrevious = *row.cyclesSincePrevious;
    return {
        {"read_at", r.readAt},
        {"tool_model", r.toolModel},
        {"tool_serial", r.toolSerial},
        {"firmware_version", r.firmwareVersion},
        {"controller_serial", r.controllerSerial},
        {"cycle_counter", n(r.cycleCounter)},
        {"total_counter", n(r.totalCounter)},
        {"stop_position_mm", ReportStopPositionMm(r.positionCounts)},
        {"stop_position_counts", n(r.positionCounts)},
        {"force_kn", ForceKn(r.forceReading, r.forceFactor, r.forceDivisor)},
        {"force_reading", n(r.forceReading)},
        {"force_factor", n(r.forceFactor)},
        {"force_divisor", n(r.forceDivisor)},
        {"result", StringText(ResultStringId(r.cycleFlags))},
        {"result_code", n(r.cycleFlags & 3u)},
        {"direction", StringText(DirectionStringId(r.cycleFlags))},
        {"direction_forward", (r.cycleFlags & 4u) != 0},
        {"cycle_flags", n(r.cycleFlags)},
        {"device_info", Hex(r.deviceInfo)},
        {"keep_alive", keepAlive},
        {"port", r.port},
        {"cycles_since_previous", sincePrevious},
        {"cycles_since_service", row.cyclesSinceService},
        {"service_due", row.serviceDue},
        {"technician", r.technician},
        {"id", r.uuid},
        {"counter_reset", row.counterReset},
        {"controller_before", r.controllerBefore},
        {"days_since_service", row.daysSinceService},
        {"service_state", ServiceStateName(row.standing.state)},
    };
}

std::string HistoryCsv(const std::vector<HistoryRow>& rows) {
    std::string csv = "\xEF\xBB\xBF";
    const HistoryFieldList names = HistoryFields(HistoryRow{});
    for (std::size_t i = 0; i < names.size(); ++i) csv += (i ? "," : "") + std::string(names[i].first);
    csv += "\r\n";
    for (const HistoryRow& row : rows) {
        const HistoryFieldList fields = HistoryFields(row);
        for (std::size_t i = 0; i < fields.size(); ++i) csv += (i ? "," : "") + CsvCell(fields[i].second);
        csv += "\r\n";
    }
    return csv;
}
