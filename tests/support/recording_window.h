#pragma once
// RecordingWindow: an IMainWindow for tests that records every posted message and lets the test wait
// for one with a deadline. Installs itself as the main window on construction and removes itself on
// destruction. Any thread may post; the test thread inspects.
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/threads/main_window.h"

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingWindow : public IMainWindow {
public:
    RecordingWindow();
    ~RecordingWindow() override;
    void PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::vector<PostedMessage> Messages() const;
    int Count(UINT message) const;
    bool WaitFor(UINT message, int count, DWORD timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<PostedMessage> m_messages;
};
