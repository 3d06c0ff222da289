#include "app/gui/team_text.h"

#include <string>

#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "team/team_sync.h"

namespace {
CString Wide(const std::string& utf8) {
    CString text;
    return Utf8ToUtf16(utf8, text) ? text : CString(u"?");
}

UINT ProblemString(TeamProblem problem) {
    switch (problem) {
        case TeamProblem::NoServer:
            return IDS_TEAM_NO_SERVER;
        case TeamProblem::BadSettings:
            return IDS_TEAM_BAD_SETTINGS;
        case TeamProblem::Password:
            return IDS_TEAM_PASSWORD;
        case TeamProblem::Tls:
            return IDS_TEAM_TLS;
        case TeamProblem::NoSchema:
            return IDS_TEAM_NO_SCHEMA;
        case TeamProblem::NewerSchema:
            return IDS_TEAM_NEWER_SCHEMA;
        case TeamProblem::OlderSchema:
            return IDS_TEAM_OLDER_SCHEMA;
        case TeamProblem::Refused:
            return IDS_TEAM_REFUSED;
        case TeamProblem::LocalStore:
            return IDS_TEAM_LOCAL;
        default:
            return IDS_TEAM_UNREACHABLE;
    }
}
}  // namespace

CString TeamProblemText(const TeamError& error) {
    if (!error.Failed()) return {};
    CString text = AfxFormatString2(LoadStringW(ProblemString(error.problem)), Wide(error.detail));
    // A problem without detail ("no server is set") ends at its sentence.
    while (!text.empty() && (text.back() == u' ' || text.back() == u':')) text.pop_back();
    return text;
}

CString TeamStateText(const HistorySyncState& state) {
    const CString when = state.lastSuccess.empty() ? LoadStringW(IDS_TEAM_NEVER) : Wide(state.lastSuccess);
    CString text =
        AfxFormatString2(LoadStringW(IDS_TEAM_LAST_SYNC), when, Wide(std::to_string(state.waiting)));
    const CString problem = TeamProblemText(LastTeamError(state));
    if (!problem.empty()) text += u" " + problem;
    return text;
}
