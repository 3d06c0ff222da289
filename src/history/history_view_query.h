#pragma once
// CHistoryViewQuery: runs the History dialog's views away from the UI thread. The dialog asks for a view
// (Request, UI thread); a thread of this object runs it on a CHistoryStore of its own and posts
// `readyMessage` (wParam: the request's number) to the main window, where the dialog takes the rows
// (Take). A request made while another runs replaces any that waits; the result of an overtaken request
// is never handed out, so the rows shown are always those of the last view asked for.
//
// Thread: started by the constructor, ended by the destructor, which waits for a query in progress (each
// bounded by the store's busy time-out and its own length) and drops any request still waiting.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "history/history_store.h"
#include "history/service_plan.h"
#include "platform/win_types.h"

struct HistoryViewRequest {
    HistoryStoreOptions store;
    bool allTools = true;  // the fleet; otherwise every read of toolSerial
    std::string toolSerial;
    ServicePlan plan;              // its `now` is set when the view is read
    std::function<void()> before;  // runs on the query's thread first (the dialog waits for the writer there)
    bool syncState = false;        // also read the team sync's state (HistoryViewResult::sync)
};

struct HistoryViewResult {
    HistoryStatus status;
    std::vector<HistoryRow> rows;
    std::string setAside;  // a damaged file the query renamed; empty when none
    HistorySyncState sync;
};

class CHistoryViewQuery {
public:
    explicit CHistoryViewQuery(UINT readyMessage);
    ~CHistoryViewQuery();
    CHistoryViewQuery(const CHistoryViewQuery&) = delete;
    CHistoryViewQuery& operator=(const CHistoryViewQuery&) = delete;

    // Queues the view; returns its number, the wParam of its ready message.
    std::uint64_t Request(HistoryViewRequest request);
    // The result of request `number` once its message was posted; nothing for an overtaken request.
    std::optional<HistoryViewResult> Take(std::uint64_t number);

private:
    void Run();

    const UINT m_readyMessage;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<HistoryViewRequest> m_pending;  // the request still to run
    std::uint64_t m_latest = 0;                   // the number of the last request made
    std::uint64_t m_doneNumber = 0;               // the number whose result waits in m_done
    std::optional<HistoryViewResult> m_done;
    bool m_stop = false;
    std::thread m_thread;
};
