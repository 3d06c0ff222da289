#pragma once
// Turns the process's stop requests (SIGINT, SIGTERM) into a call on a watcher thread, so a
// program can wait for them together with its other events without polling. One watcher at a time;
// construct and destroy it on the same thread. The callback runs on the watcher thread.
#include <functional>
#include <memory>

class CStopSignalWatcher {
public:
    // Installs the handlers and starts the watcher; Started() tells whether both worked.
    explicit CStopSignalWatcher(std::function<void(int signal)> onSignal);
    // Restores the previous handlers, then stops and joins the watcher thread.
    ~CStopSignalWatcher();
    CStopSignalWatcher(const CStopSignalWatcher&) = delete;
    CStopSignalWatcher& operator=(const CStopSignalWatcher&) = delete;

    bool Started() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
