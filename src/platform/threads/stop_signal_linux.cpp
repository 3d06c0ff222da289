#include "platform/threads/stop_signal.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/serial/uucp_lock.h"

namespace {
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Ends the process at once; the kernel releases the port's descriptor and its locks, but the UUCP lock files
// this process announced its ports with are plain files that only it can remove.
[[noreturn]] void ForceExit(int status) {
    ReleaseAllUucpLocks();
    _exit(status);
}
}  // namespace

static_assert(kOutputClosedSignal == SIGPIPE);

StopSignalWatcher::StopSignalWatcher(std::function<void(int)> onStop, std::chrono::milliseconds forceGrace,
                                     bool watchOutput)
    : m_onStop(std::move(onStop)), m_forceGrace(forceGrace), m_watchOutput(watchOutput) {
    if (m_watchOutput) ::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    if (m_signalFd < 0 || m_wakeFd < 0) return;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (...) {
        // Without the thread the signals stay blocked and pending; the program ends by other means.
    }
}

void StopSignalWatcher::Run() {
    using Clock = std::chrono::steady_clock;
    const bool forcing = m_forceGrace > std::chrono::milliseconds::zero();
    int first = 0;  // the first signal taken, once there was one
    bool outputWatched = m_watchOutput;
    Clock::time_point forceAt{};
    for (;;) {
        int timeout = -1;
        if (forcing && first != 0) {
            timeout = static_cast<int>(std::max<long long>(
                0, std::chrono::ceil<std::chrono::milliseconds>(forceAt - Clock::now()).count()));
        }
        // Standard output is polled for nothing but its errors: a pipe whose reader closed reports POLLERR,
        // a hung-up terminal or socket POLLHUP; a file or /dev/null never reports anything. Once seen, the
        // condition stays, so it is reported once and the descriptor left out from then on.
        pollfd fds[3] = {{m_signalFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {outputWatched ? 1 : -1, 0, 0}};
        const int ready = ::poll(fds, 3, timeout);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents & POLLIN) return;
        if (ready == 0) ForceExit(128 + first);  // still running after the grace: end now
        int signal = 0;
        if (fds[2].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            outputWatched = false;
            if (fds[2].revents & POLLNVAL)
                continue;  // no standard output at all: its writes fail by themselves
            signal = kOutputClosedSignal;
        } else {
            signalfd_siginfo info{};
            if (::read(m_signalFd, &info, sizeof info) != sizeof info) continue;
            signal = static_cast<int>(info.ssi_signo);
        }
        if (forcing && first != 0 && signal != kOutputClosedSignal) ForceExit(128 + signal);
        // A closed output arms no grace: the program finishes what it does (a read is still kept) and
        // then fails at its next write.
        if (first == 0 && signal != kOutputClosedSignal) {
            first = signal;
            forceAt = Clock::now() + m_forceGrace;
        }
        if (m_onStop) m_onStop(signal);
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
