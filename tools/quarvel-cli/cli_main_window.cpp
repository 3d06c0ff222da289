#include "cli_main_window.h"

void CCliMainWindow::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({message, wParam, lParam});
    }
    m_cv.notify_one();
}

std::optional<CliMessage> CCliMainWindow::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, timeout, [this] { return !m_queue.empty(); })) return std::nullopt;
    CliMessage message = m_queue.front();
    m_queue.pop_front();
    return message;
}
