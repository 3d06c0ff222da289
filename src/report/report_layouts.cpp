#include "report/report_layouts.h"

#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/spreadsheet_guard.h"
#include "record/tool_quantities.h"
#include "report/report_format.h"

namespace {
constexpr const char16_t* kSeparator = u" : ";
constexpr const char16_t* kQuote = u"\"";
constexpr const char16_t* kColumnSeparator = u"\",\"";

// The values of the ten items, in report order. Numbers are formatted here, texts come from the
// record or from the string table at the moment they are needed.
struct ValueSource {
    const ToolRecord& r;
    CString Text(int item) const {
        switch (item) {
            case 0:
                return TextOf(r.ToolModel);
            case 1:
                return TextOf(r.ToolSerial);
            case 2:
                return TextOf(r.FirmwareVersion);
            case 3:
                return TextOf(r.ControllerSerial);
            case 4:
                return FormatUnsigned(r.CycleCounter);
            case 5:
                return FormatUnsigned(r.TotalCounter);
            case 6:
                return FormatFixed6(ReportStopPositionMm(r.PositionCounts));
            case 7:
                return FormatFixed6(ForceKn(r));
            case 8:
                return LoadStringW(ResultStringId(r.CycleFlags));
            default:
                return LoadStringW(DirectionStringId(r.CycleFlags));
        }
    }
};

// Label ids of the ten items, in the order both layouts write them.
constexpr UINT kLabels[10] = {IDS_REPORT_TOOL,
                              IDS_REPORT_TOOL_SERIAL,
                              IDS_REPORT_FIRMWARE,
                              IDS_REPORT_CONTROLLER_SERIAL,
                              IDS_REPORT_CYCLE_COUNTER,
                              IDS_REPORT_TOTAL_COUNTER,
                              IDS_REPORT_STOP_POSITION,
                              IDS_REPORT_LAST_FORCE,
                              IDS_REPORT_STOP_CONDITIONS,
                              IDS_REPORT_DIRECTION};

void Emit(const ReportSink& sink, const CString& piece) { sink(piece.c_str()); }
}  // namespace

void ComposeTextReport(const ToolRecord& record, const ReportSink& sink) {
    const ValueSource values{record};
    for (int item = 0; item < 10; ++item) {
        const CString label = LoadStringW(kLabels[item]);
        if (item < 8) {
            Emit(sink, label + kSeparator + values.Text(item) + u"\n");
        } else {
            // The last two items are written in two pieces: the label, then the text of the cycle.
            Emit(sink, label + kSeparator);
            Emit(sink, values.Text(item) + u"\n");
        }
    }
}

void ComposeCsvReport(const ToolRecord& record, const ReportSink& sink) {
    const ValueSource values{record};
    for (int item = 0; item < 10; ++item) {
        const CString label = CsvEscape(LoadStringW(kLabels[item]));
        if (item < 8) {
            // Items 0 to 3 are the tool's own texts: a spreadsheet must show them, never run them.
            const CString value = item < 4 ? GuardSpreadsheetCell(values.Text(item)) : values.Text(item);
            Emit(sink, kQuote + label + kColumnSeparator + CsvEscape(value) + kQuote + u"\n");
        } else {
            Emit(sink, kQuote + label + kColumnSeparator);
            Emit(sink, CsvEscape(values.Text(item)) + kQuote + u"\n");
        }
    }
}
