#pragma once
// SoakWatchdog: aborts the test process when a long soak makes no progress for a while, so a hung exchange
// fails the run instead of stalling it. The soak thread calls Tick after each step; the watchdog's own thread
// is started by the constructor and joined by the destructor.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

class SoakWatchdog {
public:
    explicit SoakWatchdog(std::chrono::milliseconds stall) : m_thread([this, stall] { Watch(stall); }) {}
    ~SoakWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_bStop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    SoakWatchdog(const SoakWatchdog&) = delete;
    SoakWatchdog& operator=(const SoakWatchdog&) = delete;

    void Tick() {
        std::lock_guard lock(m_mutex);
        ++m_nTicks;
    }

private:
    void Watch(std::chrono::milliseconds stall) {
        std::unique_lock lock(m_mutex);
        unsigned long seen = m_nTicks;
        while (!m_bStop) {
            if (m_cv.wait_for(lock, stall, [this] { return m_bStop; })) return;
            if (m_nTicks == seen) {
                std::fprintf(stderr, "soak: no progress for %lld ms\n",
                             static_cast<long long>(stall.count()));
                std::abort();
            }
            seen = m_nTicks;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    unsigned long m_nTicks = 0;
    bool m_bStop = false;
    std::thread m_thread;  // last: starts after the members it uses
};
