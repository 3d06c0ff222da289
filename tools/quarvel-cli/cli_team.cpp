#include "cli_team.h"

#include <chrono>

#include "app/settings/settings_store.h"
#include "cli_exit.h"
#include "team/team_schema.h"
#include "team/team_sync.h"

namespace {
// Exit 6 with the problem on one line; sync and the server commands fail the same way.
int Failed(const char* command, const TeamError& error, CCliConsole& console) {
    console.Error(std::string(command) + ": " + TeamErrorText(error));
    return kExitHistory;
}

long long SteadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CQuarvelAppCore LoadedSettings() {
    CQuarvelAppCore settings;
    LoadLanguage(settings);
    LoadHistorySettings(settings);
    return settings;
}

// The server commands' connection: --server, else the settings value HistoryServer.
TeamError ConnectAsOwner(const CliOptions& options, CPgConnection& server) {
    PgConnectOptions connect;
    connect.conninfo = options.server.value_or(LoadedSettings().HistoryServer);
    return server.Connect(connect);
}
}  // namespace

HistoryStoreOptions CliStoreOptions(const CQuarvelAppCore& settings) {
    HistoryStoreOptions options;
    options.technician = TechnicianName(settings);
    return options;
}

int RunSyncCommand(const CliOptions& options, CCliConsole& console) {
    const CQuarvelAppCore settings = LoadedSettings();
    TeamSyncOptions sync;
    sync.connect.conninfo = options.server.value_or(settings.HistoryServer);
    sync.store = CliStoreOptions(settings);
    TeamSyncCounts counts;
    const TeamError error = RunTeamSync(sync, &counts);
    if (error.Failed()) {
        if (counts.pushed > 0 || counts.pulled > 0) {
            console.Out("sync: pushed " + std::to_string(counts.pushed) + ", pulled " +
                        std::to_string(counts.pulled) + " before the failure\n");
        }
        return Failed("sync", error, console);
    }
    console.Out("sync: pushed " + std::to_string(counts.pushed) + " records (" +
                std::to_string(counts.pushedNew) + " new on the server), pulled " +
                std::to_string(counts.pulled) + " (" + std::to_string(counts.pulledNew) + " new here); " +
                std::to_string(counts.waiting) + " waiting\n");
    return kExitOk;
}

int RunServerInitCommand(const CliOptions& options, CCliConsole& console) {
    CPgConnection server;
    TeamError error = ConnectAsOwner(options, server);
    int before = 0;
    if (!error.Failed()) error = InitTeamSchema(server, &before);
    if (error.Failed()) return Failed("server init", error, console);
    const std::string where = server.ServerAddress();
    const std::string version = std::to_string(kTeamSchemaVersion);
    console.Out(before == kTeamSchemaVersion ? "server init: the team's history on " + where +
                                                   " is up to date (version " + version + ")\n"
                : before == 0
                    ? "server init: made the team's history on " + where + " (version " + version + ")\n"
                    : "server init: brought the team's history on " + where + " from version " +
                          std::to_string(before) + " to " + version + "\n");
    console.Out("\nThe roles, if they are not there yet:\n" + TeamRolesSql());
    return kExitOk;
}

int RunServerRestoredCommand(const CliOptions& options, CCliConsole& console) {
    CPgConnection server;
    TeamError error = ConnectAsOwner(options, server);
    long long records = 0;
    if (!error.Failed()) error = RestartTeamHistory(server, &records);
    if (error.Failed()) return Failed("server restored", error, console);
    console.Out("server restored: the team's history on " + server.ServerAddress() + " has a new id (" +
                std::to_string(records) +
                " records renumbered): at its next sync every laptop sends all it holds and pulls "
                "everything\n");
    return kExitOk;
}

CCliTeamPush::CCliTeamPush(const CQuarvelAppCore& settings, CCliConsole& console)
    : m_settings(settings), m_console(console) {}

void CCliTeamPush::Push(const HistoryRead& kept) {
    if (m_settings.HistoryServer.empty()) return;
    m_waiting.push_back(kept);
    if (SteadySeconds() < m_quietUntil) return;
    TeamSyncOptions push;
    push.connect.conninfo = m_settings.HistoryServer;
    push.connect.maxConnectTimeoutMs = kConnectTimeoutMs;
    push.connect.replyTimeoutMs = 10000;
    push.store = CliStoreOptions(m_settings);
    TeamSyncCounts counts;
    const TeamError error = PushTeamReads(push, m_waiting, &counts);
    if (!error.Failed()) {
        m_waiting.clear();
        return;
    }
    m_quietUntil = SteadySeconds() + 60;
    m_console.Error(TeamErrorText(error) + "; the read is kept here and goes with the next sync");
}
