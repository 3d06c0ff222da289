// What the thread counts of both systems share: the baseline and the bounded wait.
#include "support/thread_count.h"

#include <chrono>
#include <thread>

int BaselineThreadCount() {
    std::thread([] {}).join();
    return CountThreads();
}

bool WaitForThreadCountAtMost(int count, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountThreads() > count) {
        // A detached thread leaves the count shortly after its last act; nothing to wait on.
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
