#pragma once
// The two report layouts, composed as the twelve pieces that WriteText receives. The sink gets each
// piece as a NUL-terminated UTF-16 text; labels and texts are loaded from the current resource module
// just before their item. Called on one thread at a time (the UI thread, or the CLI's main thread).
#include <functional>

#include "app/session/tool_record.h"
#include "platform/win_types.h"

using ReportSink = std::function<void(const char16_t* piece)>;

// Label ids of the ten report items, in the order both layouts write them.
inline constexpr UINT IDS_LABEL_TOOL = 111;
inline constexpr UINT IDS_LABEL_TOOL_SERIAL = 112;
inline constexpr UINT IDS_LABEL_FIRMWARE = 113;
inline constexpr UINT IDS_LABEL_CONTROLLER_SERIAL = 114;
inline constexpr UINT IDS_LABEL_CYCLE_COUNTER = 115;
inline constexpr UINT IDS_LABEL_TOTAL_COUNTER = 116;
inline constexpr UINT IDS_LABEL_STOP_POSITION = 117;
inline constexpr UINT IDS_LABEL_FORCE = 118;
inline constexpr UINT IDS_LABEL_STOP_CONDITIONS = 119;
inline constexpr UINT IDS_LABEL_DIRECTION = 127;

// "label : value" lines.
void ComposeTextReport(const ToolRecord& record, const ReportSink& sink);
// Two quoted columns: "label","value".
void ComposeCsvReport(const ToolRecord& record, const ReportSink& sink);
