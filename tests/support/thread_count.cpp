#include "support/thread_count.h"

#include <chrono>
#include <filesystem>
#include <thread>

int CountThreads() {
    std::error_code error;
    int count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}

int BaselineThreadCount() {
    std::thread([] {}).join();
    return CountThreads();
}

bool WaitForThreadCountAtMost(int count, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountThreads() > count) {
        // A detached thread disappears from /proc shortly after its last act; nothing to wait on.
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
