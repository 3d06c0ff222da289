// Thread counting on Windows: the threads of this process in a Toolhelp snapshot.
#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <thread>

#include "support/thread_count.h"

int CountThreads() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

int BaselineThreadCount() {
    std::thread([] {}).join();
    return CountThreads();
}

bool WaitForThreadCountAtMost(int count, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountThreads() > count) {
        // A detached thread leaves the snapshot shortly after its last act; nothing to wait on.
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
