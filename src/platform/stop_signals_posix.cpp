#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/stop_signals.h"

namespace {
// The self-pipe's write end, for the handler; -1 while no watcher is installed.
std::atomic<int> g_writeFd{-1};

void OnStopSignal(int signal) {
    const int saved = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);  // full pipe: a stop is pending anyway
    }
    errno = saved;
}

constexpr unsigned char kQuitByte = 0;  // sent by the destructor; no signal has number 0
constexpr int kSignals[] = {SIGINT, SIGTERM};
}  // namespace

struct CStopSignalWatcher::Impl {
    std::function<void(int)> onSignal;
    int fds[2] = {-1, -1};
    struct sigaction previous[2] = {};
    bool installed = false;
    std::thread watcher;

    void Watch() {
        for (;;) {
            unsigned char byte = 0;
            const ssize_t n = read(fds[0], &byte, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || byte == kQuitByte) return;
            onSignal(byte);
        }
    }
};

CStopSignalWatcher::CStopSignalWatcher(std::function<void(int)> onSignal) : m_impl(std::make_unique<Impl>()) {
    m_impl->onSignal = std::move(onSignal);
    if (pipe2(m_impl->fds, O_CLOEXEC) != 0) return;
    fcntl(m_impl->fds[1], F_SETFL, O_NONBLOCK);
    try {
        m_impl->watcher = std::thread([impl = m_impl.get()] { impl->Watch(); });
    } catch (...) {
        return;
    }
    g_writeFd.store(m_impl->fds[1]);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &m_impl->previous[i]);
    m_impl->installed = true;
}

CStopSignalWatcher::~CStopSignalWatcher() {
    if (m_impl->installed) {
        for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &m_impl->previous[i], nullptr);
    }
    g_writeFd.store(-1);
    if (m_impl->watcher.joinable()) {
        const unsigned char quit = kQuitByte;
        ssize_t n = 0;
        while ((n = write(m_impl->fds[1], &quit, 1)) < 0 && errno == EINTR) {
        }
        if (n != 1) {
            // A pipe full of pending signals: closing the write end ends the watcher after it drains.
            close(m_impl->fds[1]);
            m_impl->fds[1] = -1;
        }
        m_impl->watcher.join();
    }
    for (int fd : m_impl->fds) {
        if (fd >= 0) close(fd);
    }
}

bool CStopSignalWatcher::Started() const { return m_impl->installed; }
