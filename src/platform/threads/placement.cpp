#include "platform/threads/placement.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/threads/placement_os.h"

namespace {
std::mutex g_observerMutex;
ThreadPlacementObserver g_observer;
}  // namespace

int ProcessorForThreadGroup() {
    const char* off = std::getenv("QUARVEL_NO_AFFINITY");
    if (off != nullptr && std::strcmp(off, "1") == 0) return -1;
    return CurrentProcessorOfThread();
}

CThreadGroupPlacement::CThreadGroupPlacement() : m_processor(ProcessorForThreadGroup()) {}

void CThreadGroupPlacement::Join() const {
    if (m_processor < 0) return;
    const bool granted = PlaceCurrentThread(m_processor);
    ThreadPlacementObserver observer;
    {
        std::lock_guard lock(g_observerMutex);
        observer = g_observer;
    }
    if (observer) observer(m_processor, granted);
}

void SetThreadPlacementObserver(ThreadPlacementObserver observer) {
    std::lock_guard lock(g_observerMutex);
    g_observer = std::move(observer);
}
