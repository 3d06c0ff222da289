#include "cli_history_format.h"

#include <nlohmann/json.hpp>

#include "cli_output.h"
#include "history/history_fields.h"
#include "history/service_plan.h"
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "record/tool_quantities.h"

namespace {
std::string Label(UINT id) { return Utf16ToUtf8(LoadStringW(id)); }

CString Wide(const std::string& utf8) {
    CString text;
    Utf8ToUtf16(utf8, text);
    return text;
}

// Characters, not bytes, so that columns of non-Latin labels line up too.
std::size_t Width(const std::string& text) {
    std::size_t width = 0;
    for (unsigned char c : text) width += (c & 0xC0) != 0x80;
    return width;
}

std::string Json(const std::vector<HistoryRow>& rows) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const HistoryRow& row : rows) {
        nlohmann::ordered_json object;
        for (const auto& [name, value] : HistoryFields(row)) {
            std::visit(
                [&, key = name](const auto& v) {
                    using T = std::decay_t<decltype(v)>;
                    if constexpr (std::is_same_v<T, std::monostate>)
                        object[key] = nullptr;
                    else
                        object[key] = v;
                },
                value);
        }
        array.push_back(std::move(object));
    }
    return array.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string Text(const std::vector<HistoryRow>& rows) {
    std::vector<std::vector<std::string>> table;
    table.push_back({Label(IDS_HISTORY_COL_DATE), Label(IDS_HISTORY_COL_TOOL_SERIAL),
                     Label(IDS_HISTORY_COL_CONTROLLER), Label(IDS_HISTORY_COL_MODEL),
                     Label(IDS_HISTORY_COL_FIRMWARE), Label(IDS_HISTORY_COL_CYCLES),
                     Label(IDS_HISTORY_COL_TOTAL), Label(IDS_HISTORY_COL_RESULT),
                     Label(IDS_HISTORY_COL_TECHNICIAN), Label(IDS_HISTORY_COL_SINCE_PREVIOUS),
                     Label(IDS_HISTORY_COL_SINCE_SERVICE), Label(IDS_HISTORY_COL_DUE)});
    for (const HistoryRow& row : rows) {
        const HistoryRead& r = row.read;
        const auto shown = ShowControlCharacters;  // the tool's texts must not steer the terminal
        std::string controller = shown(r.controllerSerial);
        if (!r.controllerBefore.empty()) {
            controller = Utf16ToUtf8(AfxFormatString2(LoadStringW(IDS_HISTORY_CONTROLLER_CHANGE),
                                                      Wide(controller), Wide(shown(r.controllerBefore))));
        }
        const std::string sincePrevious = row.counterReset          ? Label(IDS_HISTORY_RESET)
                                          : row.cyclesSincePrevious ? std::to_string(*row.cyclesSincePrevious)
                                                                    : "-";
        table.push_back({r.readAt, shown(r.toolSerial), controller, shown(r.toolModel),
                         shown(r.firmwareVersion), std::to_string(r.cycleCounter),
                         std::to_string(r.totalCounter), Label(ResultStringId(r.cycleFlags)),
                         shown(r.technician), sincePrevious, std::to_string(row.cyclesSinceService),
                         ServiceStandingText(row.standing)});
    }
    std::vector<std::size_t> widths(table[0].size(), 0);
    for (const auto& line : table)
        for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], Width(line[i]));
    std::string out;
    for (const auto& line : table) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) text += std::string(widths[i] - Width(line[i]) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text + "\n";
    }
    return out;
}
}  // namespace

std::string FormatHistory(const std::vector<HistoryRow>& rows, CliFormat format) {
    if (format == CliFormat::Json) return Json(rows);
    if (format == CliFormat::Csv) return HistoryCsv(rows);
    return Text(rows);
}
