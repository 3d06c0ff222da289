#include "platform/threads/thread.h"

#include <mutex>
#include <system_error>
#include <thread>

namespace {
std::mutex g_gateMutex;
std::function<bool()> g_gate;
}  // namespace

void SetThreadStartGate(std::function<bool()> gate) {
    std::lock_guard lock(g_gateMutex);
    g_gate = std::move(gate);
}

bool AfxBeginThread(AFX_THREADPROC proc, void* param) {
    {
        std::lock_guard lock(g_gateMutex);
        if (g_gate && !g_gate()) return false;
    }
    try {
        std::thread(proc, param).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
