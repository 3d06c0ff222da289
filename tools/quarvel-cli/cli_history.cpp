#include "cli_history.h"

#include "app/settings/app_core.h"
#include "app/settings/settings_store.h"
#include "cli_exit.h"
#include "cli_history_format.h"
#include "cli_report.h"
#include "cli_team.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "history/service_plan.h"
#include "ids/resource_ids.h"
#include "platform/text/utf8.h"

namespace {
int Serviced(const CliOptions& options, CHistoryStore& store, CCliConsole& console) {
    HistoryVisitOutcome visit;
    const HistoryStatus status = store.AddServiceVisit(*options.tool, options.controller.value_or(""),
                                                       options.note.value_or(""), HistoryNow(), &visit);
    if (!status.ok) {
        console.Error("history: " + status.message);
        return kExitHistory;
    }
    if (visit.found) {
        console.Out("serviced: tool " + *options.tool + " with controller " + visit.controller +
                    " at total counter " + std::to_string(visit.totalCounter) + " (visit " + visit.uuid +
                    ")\n");
        return kExitOk;
    }
    std::string seen;
    for (const std::string& controller : visit.controllers) seen += (seen.empty() ? "" : ", ") + controller;
    if (visit.controllers.empty())
        console.Error("history: no read of tool '" + *options.tool + "'");
    else if (options.controller)
        console.Error("history: tool '" + *options.tool + "' was never read with controller '" +
                      *options.controller + "' (only with " + seen + ")");
    else
        console.Error("history: tool '" + *options.tool + "' was read with several controllers (" + seen +
                      "); say which with --controller");
    return kExitHistory;
}

int Output(const std::string& path, const std::string& bytes, CCliConsole& console) {
    CString widePath;
    Utf8ToUtf16(path, widePath);  // checked when the options were parsed
    try {
        CFileException error;
        if (!WriteHistoryExport(widePath, bytes, &error)) {
            console.Error("history: " + OpenFailureText(path, error));
            return kExitHistory;
        }
    } catch (const CFileException& e) {
        console.ErrLine(Utf16ToUtf8(e.GetErrorMessage()));
        return kExitHistory;
    }
    return kExitOk;
}
}  // namespace

int RunHistoryCommand(const CliOptions& options, CCliConsole& console) {
    CQuarvelAppCore settings;
    LoadLanguage(settings);
    LoadHistorySettings(settings);
    CHistoryStore store(CliStoreOptions(settings));
    if (options.serviced) return Serviced(options, store, console);

    std::vector<HistoryRow> rows;
    const std::string since = options.since.value_or("");
    ServicePlan plan;
    plan.cycles = settings.ServiceInterval;
    plan.days = settings.ServiceIntervalDays;
    plan.dueSoonPercent = settings.ServiceDueSoonPercent;
    const HistoryStatus status =
        options.tool ? store.Tool(*options.tool, since, plan, rows) : store.Fleet(since, plan, rows);
    if (!status.ok) {
        console.Error("history: " + status.message);
        return kExitHistory;
    }
    if (!store.SetAsideName().empty()) {
        console.Error("history: the damaged file was renamed to " + store.SetAsideName() +
                      "; a new one was started");
    }
    if (options.due) rows = DueRows(std::move(rows));
    const std::string text = FormatHistory(rows, options.format);
    if (options.outputPath) return Output(*options.outputPath, text, console);
    console.Out(text);
    return kExitOk;
}
