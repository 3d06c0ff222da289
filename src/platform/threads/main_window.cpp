#include "platform/threads/main_window.h"

#include <mutex>

namespace {
std::mutex g_mutex;
IMainWindow* g_window = nullptr;
}  // namespace

void SetMainWindow(IMainWindow* window) {
    std::lock_guard lock(g_mutex);
    g_window = window;
}

bool HasMainWindow() {
    std::lock_guard lock(g_mutex);
    return g_window != nullptr;
}

bool PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(g_mutex);
    if (g_window == nullptr) return false;
    g_window->PostMessageW(message, wParam, lParam);
    return true;
}
