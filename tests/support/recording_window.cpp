#include "support/recording_window.h"

#include <algorithm>
#include <chrono>

RecordingWindow::RecordingWindow() { SetMainWindow(this); }
RecordingWindow::~RecordingWindow() { SetMainWindow(nullptr); }

void RecordingWindow::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({message, wParam, lParam});
    }
    m_cv.notify_all();
}

std::vector<PostedMessage> RecordingWindow::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

int RecordingWindow::Count(UINT message) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(
        std::count_if(m_messages.begin(), m_messages.end(),
                      [message](const PostedMessage& m) { return m.message == message; }));
}

bool RecordingWindow::WaitFor(UINT message, int count, DWORD timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(m_messages.begin(), m_messages.end(),
                             [message](const PostedMessage& m) { return m.message == message; }) >= count;
    });
}
