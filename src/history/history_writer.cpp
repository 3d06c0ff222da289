#include "history/history_writer.h"

#include <chrono>
#include <system_error>

CHistoryWriter::CHistoryWriter(HistoryStoreOptions options) : m_options(std::move(options)) {
    if (m_options.path.empty()) m_options.path = DefaultHistoryPath();
}

CHistoryWriter::~CHistoryWriter() { Stop(); }

bool CHistoryWriter::Start() {
    std::lock_guard lock(m_mutex);
    if (m_started) return true;
    m_stop = false;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error& error) {
        NoteLoss(std::string("the history writer did not start: ") + error.what());
        return false;
    }
    m_started = true;
    return true;
}

void CHistoryWriter::Stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_started) return;
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    std::lock_guard lock(m_mutex);
    m_started = false;
}

void CHistoryWriter::Submit(HistoryRead read) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_started || m_stop) {
            NoteLoss("the history writer is not running");
            return;
        }
        if (m_queue.size() >= kMaxQueued) {
            NoteLoss("too many reads waiting for " + m_options.path);
            return;
        }
        m_queue.push_back(std::move(read));
    }
    m_wake.notify_one();
}

bool CHistoryWriter::WaitIdle(int limitMs) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(limitMs),
                           [this] { return m_queue.empty() && !m_writing; });
}

HistoryCause CHistoryWriter::LossCause() const {
    std::lock_guard lock(m_mutex);
    return m_lossCause;
}

std::string CHistoryWriter::LossMessage() const {
    std::lock_guard lock(m_mutex);
    return m_loss;
}

std::size_t CHistoryWriter::LostCount() const {
    std::lock_guard lock(m_mutex);
    return m_lost;
}

std::string CHistoryWriter::SetAsideName() const {
    std::lock_guard lock(m_mutex);
    return m_setAside;
}

void CHistoryWriter::NoteLoss(const std::string& message, HistoryCause cause) {
    if (m_loss.empty()) {
        m_loss = message;
        m_lossCause = cause;
    }
    ++m_lost;
}

void CHistoryWriter::Run() {
    CHistoryStore store(m_options);  // this thread's connection, closed when the thread ends
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) break;  // stopping, and everything queued is written
        HistoryRead read = std::move(m_queue.front());
        m_queue.pop_front();
        m_writing = true;
        lock.unlock();
        const HistoryStatus status = store.Insert(read);
        lock.lock();
        m_writing = false;
        if (!status.ok) NoteLoss(status.message, status.cause);
        if (!store.SetAsideName().empty()) m_setAside = store.SetAsideName();
        if (m_queue.empty()) m_idle.notify_all();
    }
    m_idle.notify_all();
}
