#include "team/team_error.h"

#include <iterator>

namespace {
struct ProblemText {
    TeamProblem problem;
    const char* name;
    const char* text;
};

constexpr ProblemText kProblems[] = {
    {TeamProblem::None, "none", ""},
    {TeamProblem::NoServer, "no-server", "no history server is set"},
    {TeamProblem::BadSettings, "settings", "the history server's connection string is not valid"},
    {TeamProblem::Unreachable, "unreachable", "the history server could not be reached"},
    {TeamProblem::Password, "password", "the history server refused the user name or password"},
    {TeamProblem::Tls, "tls", "the secure connection (TLS) to the history server failed"},
    {TeamProblem::NoSchema, "no-schema",
     "the history server's database holds no Quarvel history (quarvel-cli server init makes it)"},
    {TeamProblem::NewerSchema, "newer-schema",
     "the history server's history is of a newer Quarvel; update this program"},
    {TeamProblem::OlderSchema, "older-schema",
     "the history server's history is of an older Quarvel (quarvel-cli server init brings it up to date)"},
    {TeamProblem::Refused, "refused", "the history server refused the request"},
    {TeamProblem::LocalStore, "local", "this computer's history could not be used"},
    {TeamProblem::Stopped, "stopped", "the sync was stopped"},
};
}  // namespace

std::string TeamErrorText(const TeamError& error) {
    for (const ProblemText& p : kProblems) {
        if (p.problem != error.problem) continue;
        return error.detail.empty() ? std::string(p.text) : std::string(p.text) + ": " + error.detail;
    }
    return error.detail;
}

const char* TeamProblemName(TeamProblem problem) {
    for (const ProblemText& p : kProblems)
        if (p.problem == problem) return p.name;
    return "none";
}

TeamProblem TeamProblemFromName(const std::string& name) {
    for (const ProblemText& p : kProblems)
        if (name == p.name) return p.problem;
    return TeamProblem::None;
}
