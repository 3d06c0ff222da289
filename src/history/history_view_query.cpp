#include "history/history_view_query.h"

#include "platform/threads/main_window.h"

CHistoryViewQuery::CHistoryViewQuery(UINT readyMessage) : m_readyMessage(readyMessage) {
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (...) {
        // Without the thread no view arrives; the dialog goes on saying it is reading.
    }
}

CHistoryViewQuery::~CHistoryViewQuery() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_pending.reset();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

std::uint64_t CHistoryViewQuery::Request(HistoryViewRequest request) {
    std::uint64_t number = 0;
    {
        std::lock_guard lock(m_mutex);
        number = ++m_latest;
        m_pending = std::move(request);
        m_done.reset();
    }
    m_wake.notify_all();
    return number;
}

std::optional<HistoryViewResult> CHistoryViewQuery::Take(std::uint64_t number) {
    std::lock_guard lock(m_mutex);
    if (!m_done || m_doneNumber != number || number != m_latest) return std::nullopt;
    std::optional<HistoryViewResult> result = std::move(m_done);
    m_done.reset();
    return result;
}

void CHistoryViewQuery::Run() {
    for (;;) {
        HistoryViewRequest request;
        std::uint64_t number = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_pending.has_value(); });
            if (m_stop) return;
            request = std::move(*m_pending);
            m_pending.reset();
            number = m_latest;
        }
        if (request.before) request.before();
        HistoryViewResult result;
        CHistoryStore store(request.store);
        ServicePlan plan = request.plan;
        plan.now = std::chrono::system_clock::now();
        result.status = request.allTools ? store.Fleet("", plan, result.rows)
                                         : store.Tool(request.toolSerial, "", plan, result.rows);
        result.setAside = store.SetAsideName();
        if (request.syncState && result.status.ok) store.SyncState(&result.sync);
        {
            std::lock_guard lock(m_mutex);
            if (m_stop || number != m_latest) continue;  // overtaken: the newer request follows
            m_done = std::move(result);
            m_doneNumber = number;
        }
        PostToMainWindow(m_readyMessage, static_cast<WPARAM>(number), 0);
    }
}
