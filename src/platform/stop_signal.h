#pragma once
// StopSignalWatcher: turns SIGINT and SIGTERM (on Windows the console's Ctrl+C as SIGINT, and Ctrl+Break,
// close, log-off and shut-down as SIGTERM) into a call on a thread of its own, so a program can stop
// cleanly. Construct it in main() before any other thread starts (the signals are blocked in the
// constructing thread and so in every thread started after it). The callback runs on the watcher's thread;
// the destructor stops that thread and restores the signal mask.
#include <functional>
#include <thread>

class StopSignalWatcher {
public:
    explicit StopSignalWatcher(std::function<void(int signal)> onStop);
    StopSignalWatcher(const StopSignalWatcher&) = delete;
    StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;
    ~StopSignalWatcher();

private:
    std::function<void(int)> m_onStop;
    std::thread m_thread;
#ifdef _WIN32
    void* m_wake = nullptr;  // the event that ends the watcher's thread
#else
    int m_wakeFd = -1;
    int m_signalFd = -1;
#endif
};
