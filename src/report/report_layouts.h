#pragma once
// The two report layouts, composed as the twelve pieces that WriteText receives. The sink gets each
// piece as a NUL-terminated UTF-16 text; labels and texts are loaded from the current resource module
// just before their item. Called on one thread at a time (the UI thread, or the CLI's main thread).
#include <functional>

#include "platform/win_types.h"
#include "record/tool_record.h"

using ReportSink = std::function<void(const char16_t* piece)>;

// "label : value" lines.
void ComposeTextReport(const ToolRecord& record, const ReportSink& sink);
// Two quoted columns: "label","value".
void ComposeCsvReport(const ToolRecord& record, const ReportSink& sink);
