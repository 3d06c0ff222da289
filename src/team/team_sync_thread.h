#pragma once
// CTeamSyncThread: the window's sync with the team's server, on a thread of its own so that the window
// never waits for the network. A round runs at start, when woken after a kept read, when asked (Sync
// now) and every 5 minutes. While the server cannot be reached it tries again after 5 s, 10 s, 20 s ...
// up to 5 minutes, each wait drawn between half and all of that (jitter, so that a team's laptops do not
// all call at once when the server comes back); a kept read does not cut such a wait short, Sync now does.
// After each round it posts `doneMessage` to the main window (wParam: 1 when records were pulled).
//
// Thread: started by Start, ended by Stop (or the destructor). Stop wakes every wait for the server and
// waits at most about a second: a round stops at its next wait. Only a host name lookup in progress
// cannot be cut short; the thread is then left to end by itself (it owns everything it uses) and ends
// with the process.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/win_types.h"
#include "team/team_sync.h"

struct TeamSyncStatus {
    bool running = false;  // a round is in progress
    bool everRan = false;  // at least one round ended since Start
    TeamError lastError;   // of the last round
    TeamSyncCounts lastCounts;
    std::string lastSuccess;  // a history time; empty: none since Start
};

class CTeamSyncThread {
public:
    explicit CTeamSyncThread(UINT doneMessage);
    ~CTeamSyncThread();
    CTeamSyncThread(const CTeamSyncThread&) = delete;
    CTeamSyncThread& operator=(const CTeamSyncThread&) = delete;

    // Starts the thread (stopping one that runs) with these options; false when it could not start.
    bool Start(TeamSyncOptions options);
    // Ends the thread; true when it ended within `limit`, false when it was left to end by itself.
    bool Stop(std::chrono::milliseconds limit = std::chrono::milliseconds(1000));
    bool IsStarted() const { return m_shared != nullptr; }
    // After a kept read: a round soon, unless the server is being waited out.
    void Wake();
    // Sync now: a round at once, whatever the back-off.
    void SyncNow();
    TeamSyncStatus Status() const;

    // The wait after `failures` failed rounds in a row (0: after a success): at most 5 minutes, drawn
    // between half and all of 5 s x 2^(failures-1) from `random` (0..1).
    static std::chrono::milliseconds NextWait(int failures, double random);

    static constexpr std::chrono::minutes kPeriod{5};

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared);

    const UINT m_doneMessage;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
