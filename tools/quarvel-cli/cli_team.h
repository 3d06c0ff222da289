#pragma once
// quarvel-cli and the team's history server: `sync` (one round), `server init` (the schema), and the push
// of the reads that `read` and `watch` kept. Main thread.
#include <string>
#include <vector>

#include "app/settings/app_core.h"
#include "cli_console.h"
#include "cli_options.h"
#include "history/history_read.h"
#include "history/history_store.h"

int RunSyncCommand(const CliOptions& options, CCliConsole& console);
int RunServerInitCommand(const CliOptions& options, CCliConsole& console);
// quarvel-cli server restored: a new id for a restored history, so every laptop sends and pulls it all.
int RunServerRestoredCommand(const CliOptions& options, CCliConsole& console);

// The store options of this user's history with the settings' technician.
HistoryStoreOptions CliStoreOptions(const CQuarvelAppCore& settings);

// read and watch: pushes the reads this process kept to the server, connecting for at most a few seconds.
// The exit status never depends on it: a failure is one line on standard error, the reads stay waiting
// for the next sync, and (in a watch) the next read tries again only after a minute, with them.
class CCliTeamPush {
public:
    CCliTeamPush(const CQuarvelAppCore& settings, CCliConsole& console);
    void Push(const HistoryRead& kept);

    static constexpr int kConnectTimeoutMs = 3000;

private:
    const CQuarvelAppCore& m_settings;
    CCliConsole& m_console;
    std::vector<HistoryRead> m_waiting;  // kept by this process, not yet on the server
    long long m_quietUntil = 0;          // steady-clock seconds: after a failure, no attempt before
};
