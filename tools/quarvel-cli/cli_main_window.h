#pragma once
// The CLI's stand-in for the main window: posted messages land in a queue that the CLI's main thread
// waits on. Worker threads (session, keep-alive, the signal watcher) post; only the main thread waits.
// Owned by the running command; installed with SetMainWindow for as long as the command runs.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/threads/main_window.h"

struct CliMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class CCliMainWindow : public IMainWindow {
public:
    void PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The oldest message, waiting up to `timeout`; nothing when the time passed first.
    std::optional<CliMessage> Wait(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<CliMessage> m_queue;
};

// Installs a window for the lifetime of this object and removes it again on every way out.
class CMainWindowScope {
public:
    explicit CMainWindowScope(IMainWindow* window) { SetMainWindow(window); }
    ~CMainWindowScope() { SetMainWindow(nullptr); }
    CMainWindowScope(const CMainWindowScope&) = delete;
    CMainWindowScope& operator=(const CMainWindowScope&) = delete;
};
