#include "cli_output.h"

#include <nlohmann/json.hpp>

#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "record/tool_quantities.h"
#include "report/report_format.h"
#include "report/report_layouts.h"

namespace {
std::string Utf8(const CString& text) { return Utf16ToUtf8(text); }

std::string HexBytes(const BYTE* data, std::size_t n) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(kHex[data[i] >> 4]);
        out.push_back(kHex[data[i] & 0x0F]);
    }
    return out;
}

std::string Json(const ToolRecord& r, bool oneLine) {
    using nlohmann::ordered_json;
    ordered_json j;
    j["tool_model"] = Utf8(TextOf(r.ToolModel));
    j["tool_serial"] = Utf8(TextOf(r.ToolSerial));
    j["firmware_version"] = Utf8(TextOf(r.FirmwareVersion));
    j["controller_serial"] = Utf8(TextOf(r.ControllerSerial));
    j["cycle_counter"] = r.CycleCounter;
    j["total_counter"] = r.TotalCounter;
    j["stop_position_mm"] = ReportStopPositionMm(r.PositionCounts);
    j["stop_position_counts"] = r.PositionCounts;
    j["force_kn"] = ForceKn(r);
    j["force_reading"] = r.ForceReading;
    j["force_factor"] = r.ForceFactor;
    j["force_divisor"] = r.ForceDivisor;
    j["result"] = Utf8(LoadStringW(ResultStringId(r.CycleFlags)));
    j["result_code"] = r.CycleFlags & 3u;
    j["direction"] = Utf8(LoadStringW(DirectionStringId(r.CycleFlags)));
    j["direction_forward"] = (r.CycleFlags & 4u) != 0;
    j["cycle_flags"] = r.CycleFlags;
    j["device_info"] = HexBytes(r.DeviceInfo, sizeof r.DeviceInfo);
    j["keep_alive"] = WantsKeepAlive(r);
    // dump() with replacement keeps the output valid even if a text held an unpaired surrogate.
    return j.dump(oneLine ? -1 : 2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
}  // namespace

std::string FormatToolRecord(const ToolRecord& record, CliFormat format, bool oneLine) {
    if (format == CliFormat::Json) return Json(record, oneLine);
    std::string all;
    if (format == CliFormat::Csv) {
        ComposeCsvReport(record, [&](const char16_t* piece) { all += Utf8(piece); });
        return all;
    }
    // Each piece ends its line with the one line feed of its own; anything else is shown escaped.
    ComposeTextReport(record, [&](const char16_t* piece) {
        std::string text = Utf8(piece);
        const bool lineEnd = !text.empty() && text.back() == '\n';
        if (lineEnd) text.pop_back();
        all += ShowControlCharacters(text) + (lineEnd ? "\n" : "");
    });
    return all;
}

std::string ShowControlCharacters(const std::string& utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // U+0080..U+009F, two bytes in UTF-8 (C2 80 .. C2 9F): CSI and the other C1 controls.
            const auto code = static_cast<unsigned char>(utf8[++i]);
            out += "\\u00";
            out.push_back(kHex[code >> 4]);
            out.push_back(kHex[code & 0x0F]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}
