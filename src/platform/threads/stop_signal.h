#pragma once
// StopSignalWatcher: turns SIGINT, SIGTERM and SIGHUP (on Windows the console's Ctrl+C as SIGINT, and
// Ctrl+Break, close, log-off and shut-down as SIGTERM) into a call on a thread of its own, so a program can
// stop cleanly. Construct it in main() before any other thread starts (the signals are blocked in the
// constructing thread and so in every thread started after it). The callback runs on the watcher's thread;
// the destructor stops that thread and restores the signal mask.
//
// With a force grace, a program that cannot stop cleanly (its main thread blocked somewhere) still ends:
// at a second signal, or when it still runs that long after the first, the process ends at once with
// 128 + the signal's number. Its descriptors are closed by the kernel then, which releases the devices
// it held and their locks; nothing else runs.
//
// With `watchOutput`, a standard output whose reader has gone (the other end of a pipe or socket closed, a
// terminal hung up) is a stop too, reported as kOutputClosedSignal, even while the program writes
// nothing (it starts no force grace: the program is not stuck, only without a reader); on POSIX systems
// SIGPIPE is then ignored, so a write to it fails (EPIPE) instead of killing the process. On Windows a write
// to a closed pipe fails by itself; the closing is only seen at that write.
#include <chrono>
#include <functional>
#include <thread>

// The value the callback gets for a closed standard output (SIGPIPE's number on POSIX systems).
inline constexpr int kOutputClosedSignal = 13;

class StopSignalWatcher {
public:
    explicit StopSignalWatcher(std::function<void(int signal)> onStop,
                               std::chrono::milliseconds forceGrace = std::chrono::milliseconds::zero(),
                               bool watchOutput = false);
    StopSignalWatcher(const StopSignalWatcher&) = delete;
    StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;
    ~StopSignalWatcher();

private:
    void Run();

    std::function<void(int)> m_onStop;
    std::chrono::milliseconds m_forceGrace;
    std::thread m_thread;
#ifdef _WIN32
    void* m_wake = nullptr;  // the event that ends the watcher's thread
#else
    int m_wakeFd = -1;
    int m_signalFd = -1;
    bool m_watchOutput = false;
#endif
};
