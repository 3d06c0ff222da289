#pragma once
// What the store keeps of the team's sync (src/team) in its sync_state table, by name: the pull's cursors
// and the outcome of the last round, which every view of this laptop shows. Plain values; any thread.
#include <cstdint>
#include <string>

inline constexpr const char* kSyncReadCursor = "pull_reads";     // "tx:seq" of the last read pulled
inline constexpr const char* kSyncVisitCursor = "pull_visits";   // the same for service visits
inline constexpr const char* kSyncServerId = "server_id";        // the history the cursors belong to
inline constexpr const char* kSyncLastSuccess = "last_success";  // a history time
inline constexpr const char* kSyncLastAttempt = "last_attempt";
inline constexpr const char* kSyncLastProblem = "last_problem";  // the problem's name (team_error.h)
inline constexpr const char* kSyncLastError = "last_error";      // its detail, in English

struct HistorySyncState {
    std::string lastSuccess, lastAttempt, lastProblem, lastError;  // "" when never
    std::int64_t waiting = 0;  // reads and visits the server does not have yet
};
