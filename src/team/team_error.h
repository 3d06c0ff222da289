#pragma once
// What went wrong with the team's history server, as a value: the kind of problem (for a message in the
// user's language) and libpq's or the server's own words (for the detail). Any thread.
#include <string>

enum class TeamProblem {
    None,
    NoServer,     // no connection string is set
    BadSettings,  // the connection string cannot be read
    Unreachable,  // no server answered: host, port, network, time-out, or the connection broke
    Password,     // the server refused the user or the password
    Tls,          // the secure connection (TLS) failed: certificate, sslmode
    NoSchema,     // the database holds no Quarvel history (quarvel-cli server init)
    NewerSchema,  // the server's history is of a newer program: refused
    OlderSchema,  // the server's history needs quarvel-cli server init to be brought up to date
    Refused,      // the server refused a statement (permissions, a missing database)
    LocalStore,   // this laptop's own history could not be read or written
    Stopped,      // the program is ending
};

struct TeamError {
    TeamProblem problem = TeamProblem::None;
    std::string detail;  // English (or the server's language), one line; empty when None

    bool Failed() const { return problem != TeamProblem::None; }
};

// One line in English for a log or quarvel-cli: "the history server could not be reached: <detail>".
std::string TeamErrorText(const TeamError& error);
// A name for the problem that stays the same across versions ("unreachable", "password", ...), kept with
// the sync's status in the local store.
const char* TeamProblemName(TeamProblem problem);
TeamProblem TeamProblemFromName(const std::string& name);
