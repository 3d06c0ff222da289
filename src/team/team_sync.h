#pragma once
// One sync round with the team's server, offline first: every record is kept in this laptop's store
// before it travels, and a round that fails half-way loses and doubles nothing.
//
// Push: the records the server does not have, oldest first, in batches; each batch is one transaction of
// `INSERT ... ON CONFLICT (id) DO NOTHING` (a repeated push is harmless) and is marked sent here only
// after the server's COMMIT. Pull: the records the server has that came after the last pull, in the order
// of the server's cursor (see team_sync.cpp), kept here with the cursor in one local transaction.
// The caller's thread; each round opens its own connection and its own store.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "team/pg_connection.h"

struct TeamSyncOptions {
    PgConnectOptions connect;
    HistoryStoreOptions store;
    std::size_t pushBatch = 1000;       // records per pushed transaction
    std::size_t pullBatch = 5000;       // rows per pulled query
    std::function<void()> beforeRound;  // runs first on the round's thread (the window: its writer's queue)
};

struct TeamSyncCounts {
    std::size_t pushed = 0;     // records sent and marked sent here
    std::size_t pushedNew = 0;  // of them, new on the server (the others it had already)
    std::size_t pulled = 0;     // records pulled from the server
    std::size_t pulledNew = 0;  // of them, new here (the others this laptop had)
    std::int64_t waiting = 0;   // records still waiting for the server after the round
};

// Connects, checks the server's schema, pushes everything waiting, pulls everything new. The outcome
// (time of the last success, or the last problem) is kept in the store's sync values for every view.
TeamError RunTeamSync(const TeamSyncOptions& options, TeamSyncCounts* counts);

// The two halves of a round, each on its own connection (the benchmark times them apart).
TeamError PushTeamRecords(const TeamSyncOptions& options, TeamSyncCounts* counts);
TeamError PullTeamRecords(const TeamSyncOptions& options, TeamSyncCounts* counts);

// Pushes these reads only (quarvel-cli read and watch push what they kept) and marks them sent.
TeamError PushTeamReads(const TeamSyncOptions& options, const std::vector<HistoryRead>& reads,
                        TeamSyncCounts* counts);

// Connects and checks the schema and the rights a sync needs; *summary says what was found ("host:port,
// N reads of M tools").
TeamError TestTeamServer(const PgConnectOptions& options, std::string* summary);

// The problem a store's sync state tells of (None after a successful round or none at all).
TeamError LastTeamError(const HistorySyncState& state);
