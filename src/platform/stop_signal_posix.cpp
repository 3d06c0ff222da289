#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/stop_signal.h"

namespace {
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> onStop) : m_onStop(std::move(onStop)) {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    if (m_signalFd < 0 || m_wakeFd < 0) return;
    try {
        m_thread = std::thread([this] {
            for (;;) {
                pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
                if (::poll(fds, 2, -1) < 0) {
                    if (errno == EINTR) continue;
                    return;
                }
                if (fds[1].revents & POLLIN) return;
                signalfd_siginfo info{};
                if (::read(m_signalFd, &info, sizeof info) == sizeof info && m_onStop) {
                    m_onStop(static_cast<int>(info.ssi_signo));
                }
            }
        });
    } catch (...) {
        // Without the thread the signals stay blocked and pending; the program ends by other means.
    }
}

StopSignalWatcher::~StopSignalWatcher() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        (void)::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_signalFd >= 0) ::close(m_signalFd);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
