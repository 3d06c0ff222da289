// The stop signal on Windows: Ctrl+C, Ctrl+Break and the console's close, log-off and shut-down events
// reach a console control handler (SetConsoleCtrlHandler) on a thread the system starts for it. The handler
// only sets an event; the watcher's own thread makes the call, as on POSIX. The handler is process-wide,
// so the one watcher of the process keeps its events in this file.
#include "platform/threads/stop_signal.h"

#include <csignal>
#include <mutex>

#include "platform/win32_api.h"

namespace {
std::mutex g_mutex;
HANDLE g_stopEvent = nullptr;  // set by the handler
HANDLE g_doneEvent = nullptr;  // set when the watcher goes, so a closing console waits for the program
volatile LONG g_signal = 0;

BOOL WINAPI OnConsoleControl(DWORD type) {
    HANDLE stop = nullptr;
    HANDLE done = nullptr;
    {
        std::lock_guard lock(g_mutex);
        stop = g_stopEvent;
        done = g_doneEvent;
    }
    if (stop == nullptr) return FALSE;  // no watcher: the system's default (the process ends)
    InterlockedExchange(&g_signal, type == CTRL_C_EVENT ? SIGINT : SIGTERM);
    SetEvent(stop);
    // For these the system ends the process when the handler returns: give the program a few seconds to stop.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
        WaitForSingleObject(done, 5000);
    }
    return TRUE;
}
}  // namespace

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> onStop, std::chrono::milliseconds forceGrace,
                                     bool /*watchOutput: a closed pipe is seen at the next write*/)
    : m_onStop(std::move(onStop)), m_forceGrace(forceGrace) {
    const HANDLE stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (stop == nullptr || wake == nullptr || done == nullptr) {
        for (HANDLE h : {stop, wake, done}) {
            if (h != nullptr) CloseHandle(h);
        }
        return;
    }
    {
        std::lock_guard lock(g_mutex);
        g_stopEvent = stop;
        g_doneEvent = done;
    }
    try {
        m_thread = std::thread([this, stop, wake] {
            const HANDLE handles[2] = {wake, stop};
            const bool forced = m_forceGrace.count() > 0;
            DWORD timeout = INFINITE;
            int first = 0;
            for (;;) {
                const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, timeout);
                // With a grace: the grace ran out, or a second signal came: the process ends at once.
                if (woke == WAIT_TIMEOUT) ExitProcess(static_cast<UINT>(128 + first));
                if (woke != WAIT_OBJECT_0 + 1) break;
                const int signal = static_cast<int>(InterlockedCompareExchange(&g_signal, 0, 0));
                if (forced && first != 0) ExitProcess(static_cast<UINT>(128 + signal));
                if (first == 0) first = signal;
                if (forced) timeout = static_cast<DWORD>(m_forceGrace.count());
                if (m_onStop) m_onStop(signal);
            }
        });
    } catch (...) {
        // Without the thread the handler still answers, and the program ends by other means.
    }
    m_wake = wake;
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

StopSignalWatcher::~StopSignalWatcher() {
    const HANDLE wake = static_cast<HANDLE>(m_wake);
    if (wake == nullptr) return;
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    SetEvent(wake);
    if (m_thread.joinable()) m_thread.join();
    CloseHandle(wake);
    std::lock_guard lock(g_mutex);
    SetEvent(g_doneEvent);
    // The stop and done events stay: a handler that read them just now may still signal or wait on them.
    g_stopEvent = nullptr;
}
