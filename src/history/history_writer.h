#pragma once
// CHistoryWriter: the window's way into the history. Submit (any thread, typically the UI thread) only
// queues the read under a mutex; the writer thread owns its own CHistoryStore (and so the connection)
// and inserts the rows in order, each bounded by the store's busy time-out. A row that cannot be
// written is lost; the first such failure is kept for the History dialog to show.
//
// Thread: started by Start, ended by Stop (or the destructor), which lets the thread write what is
// already queued (at most kMaxQueued rows, each bounded by the busy time-out) and joins it.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "history/history_store.h"

class CHistoryWriter {
public:
    explicit CHistoryWriter(HistoryStoreOptions options = {});
    ~CHistoryWriter();
    CHistoryWriter(const CHistoryWriter&) = delete;
    CHistoryWriter& operator=(const CHistoryWriter&) = delete;

    // False when the thread could not be started (reads are then lost and the loss is noted).
    bool Start();
    void Stop();
    // Queues one read; never waits for the file. With kMaxQueued rows already waiting the read is lost.
    void Submit(HistoryRead read);
    // Waits until every submitted read has been written or lost, at most `limitMs`; true when idle.
    bool WaitIdle(int limitMs);

    // The first failure since Start ("" when none) and how many reads were lost.
    std::string LossMessage() const;
    HistoryCause LossCause() const;  // of the first failure
    std::size_t LostCount() const;
    // The name a damaged file was last renamed to by the writer ("" when none was).
    std::string SetAsideName() const;
    const std::string& Path() const { return m_options.path; }

    static constexpr std::size_t kMaxQueued = 256;

private:
    void Run();
    void NoteLoss(const std::string& message, HistoryCause cause = HistoryCause::Other);  // under m_mutex

    HistoryStoreOptions m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;  // the thread: work or stop
    std::condition_variable m_idle;  // WaitIdle: the queue is empty and no insert runs
    std::deque<HistoryRead> m_queue;
    bool m_stop = false;
    bool m_writing = false;
    bool m_started = false;
    std::string m_loss;
    HistoryCause m_lossCause = HistoryCause::None;
    std::size_t m_lost = 0;
    std::string m_setAside;
    std::thread m_thread;
};
