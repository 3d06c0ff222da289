#include "team/team_sync_thread.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <random>

#include "platform/net/socket_wait.h"
#include "platform/threads/main_window.h"

struct CTeamSyncThread::Shared {
    TeamSyncOptions options;
    UINT doneMessage = 0;
    CSocketWaker waker;  // cuts the round's waits for the server short on Stop
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    bool stop = false;
    bool woken = false;   // a read was kept
    bool forced = false;  // Sync now
    bool finished = false;
    TeamSyncStatus status;
};

CTeamSyncThread::CTeamSyncThread(UINT doneMessage) : m_doneMessage(doneMessage) {}

CTeamSyncThread::~CTeamSyncThread() { Stop(); }

std::chrono::milliseconds CTeamSyncThread::NextWait(int failures, double random) {
    if (failures <= 0) return kPeriod;
    const std::chrono::milliseconds cap = kPeriod;
    std::chrono::milliseconds wait(5000);
    for (int i = 1; i < failures && wait < cap; ++i) wait *= 2;
    wait = std::min(wait, cap);
    const double share = 0.5 + 0.5 * std::clamp(random, 0.0, 1.0);
    return std::chrono::milliseconds(static_cast<std::int64_t>(static_cast<double>(wait.count()) * share));
}

bool CTeamSyncThread::Start(TeamSyncOptions options) {
    Stop();
    auto shared = std::make_shared<Shared>();
    options.connect.waker = &shared->waker;
    shared->options = std::move(options);
    shared->doneMessage = m_doneMessage;
    if (!shared->waker.IsValid()) return false;
    try {
        m_thread = std::thread(&CTeamSyncThread::Run, shared);
    } catch (...) {
        return false;
    }
    m_shared = std::move(shared);
    return true;
}

bool CTeamSyncThread::Stop(std::chrono::milliseconds limit) {
    if (!m_shared) return true;
    bool ended = false;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->wake.notify_all();
        m_shared->waker.Wake();
        ended = m_shared->ended.wait_for(lock, limit, [&] { return m_shared->finished; });
    }
    if (ended) {
        m_thread.join();
    } else {
        m_thread.detach();  // in a host name lookup: it ends by itself, holding its own state
    }
    m_shared.reset();
    return ended;
}

void CTeamSyncThread::Wake() {
    if (!m_shared) return;
    std::lock_guard lock(m_shared->mutex);
    m_shared->woken = true;
    m_shared->wake.notify_all();
}

void CTeamSyncThread::SyncNow() {
    if (!m_shared) return;
    std::lock_guard lock(m_shared->mutex);
    m_shared->forced = true;
    m_shared->wake.notify_all();
}

TeamSyncStatus CTeamSyncThread::Status() const {
    if (!m_shared) return {};
    std::lock_guard lock(m_shared->mutex);
    return m_shared->status;
}

void CTeamSyncThread::Run(std::shared_ptr<Shared> shared) {
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> share(0.0, 1.0);
    int failures = 0;
    auto next = std::chrono::steady_clock::now();  // the first round at once
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait_until(
            lock, next, [&] { return shared->stop || shared->forced || (shared->woken && failures == 0); });
        if (shared->stop) break;
        shared->woken = shared->forced = false;
        shared->waker.Reset();  // under the lock: a Stop after this still wakes the round
        shared->status.running = true;
        lock.unlock();

        TeamSyncCounts counts;
        const TeamError error = RunTeamSync(shared->options, &counts);

        lock.lock();
        shared->status.running = false;
        if (error.problem == TeamProblem::Stopped || shared->stop) break;
        shared->status.everRan = true;
        shared->status.lastError = error;
        shared->status.lastCounts = counts;
        failures = error.Failed() ? failures + 1 : 0;
        if (!error.Failed()) shared->status.lastSuccess = HistoryNow();
        next = std::chrono::steady_clock::now() + NextWait(failures, share(random));
        PostToMainWindow(shared->doneMessage, counts.pulledNew > 0 ? 1 : 0, 0);
    }
    shared->finished = true;
    shared->ended.notify_all();
}
