#include "platform/serial/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/serial/serial_line.h"

namespace {

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milliseconds to the deadline for poll(): -1 without one, 0 once it has passed.
int MsLeft(long long deadlineMs) {
    if (deadlineMs < 0) return -1;
    const long long left = deadlineMs - NowMs();
    return left <= 0 ? 0 : left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

void DrainInotify(int fd) {
    alignas(inotify_event) char events[1024];
    while (::read(fd, events, sizeof events) > 0) {
    }
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    HangUp();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool PseudoTerminal::IsOpen() const { return m_fd >= 0; }

bool PseudoTerminal::Create(std::string* error) {
    std::string reason;
    if (m_wakeFd < 0) m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int master = m_wakeFd < 0 ? -1 : posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128] = {};
    if (master < 0) {
        reason = Reason("posix_openpt");
    } else if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        reason = Reason("unlockpt");
    }
    // Raw before any client opens the slave: no echo, no line editing, no CR/LF mangling. The terminal
    // settings of a pair are the slave's, whichever side sets them.
    if (reason.empty() && !MakeRaw(master)) reason = Reason("raw mode");
    // Watched from before the first open, so that no open is ever missed.
    const int watch = reason.empty() ? inotify_init1(IN_CLOEXEC | IN_NONBLOCK) : -1;
    if (reason.empty() && (watch < 0 || inotify_add_watch(watch, name, IN_OPEN) < 0))
        reason = Reason("inotify");
    if (!reason.empty()) {
        if (watch >= 0) ::close(watch);
        if (master >= 0) ::close(master);
        if (error) *error = reason;
        return false;
    }
    m_fd = master;
    m_openWatch = watch;
    m_strPath = name;
    return true;
}

bool PseudoTerminal::Attach(const std::string& path, std::string* error) {
    if (m_wakeFd < 0) m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int fd = m_wakeFd < 0 ? -1 : ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 || !MakeRaw(fd)) {
        if (error) *error = Reason(path.c_str());
        if (fd >= 0) ::close(fd);
        return false;
    }
    m_fd = fd;
    m_strPath = path;
    (void)m_lock.Acquire(path);  // announced where the lock folder allows; the line is served either way
    return true;
}

int PseudoTerminal::Read(BYTE* buffer, std::size_t capacity, int timeoutMs) {
    if (m_fd < 0) return kGone;
    const long long deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    for (;;) {
        short revents = 0;
        const int ready = WaitReadable(m_fd, deadline, revents);
        if (ready != 1) return ready;
        const ssize_t k = ::read(m_fd, buffer, capacity);
        if (k > 0) return static_cast<int>(k);
        if (k < 0 && (errno == EINTR || errno == EAGAIN) && !(revents & (POLLHUP | POLLERR))) continue;
        // A pair's master reports a hang-up (EIO) whenever its slave has no opener: wait for the next one.
        if (m_openWatch < 0 || (k < 0 && errno != EIO && errno != EAGAIN && errno != EINTR)) return kGone;
        const int waited = WaitForClient(deadline);
        if (waited != 1) return waited;
    }
}

int PseudoTerminal::WaitForClient(long long deadlineMs) {
    for (;;) {
        // Opens before this drain are seen by the check below, opens after it by the watch.
        DrainInotify(m_openWatch);
        pollfd master{m_fd, POLLIN, 0};
        if (::poll(&master, 1, 0) >= 0 && !(master.revents & (POLLHUP | POLLERR))) return 1;  // opened again
        if (master.revents & POLLNVAL) return kGone;
        short revents = 0;
        const int ready = WaitReadable(m_openWatch, deadlineMs, revents);
        if (ready != 1) return ready;
    }
}

int PseudoTerminal::WaitReadable(int fd, long long deadlineMs, short& revents) {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, MsLeft(deadlineMs));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return kGone;
        if (ready == 0) return 0;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            (void)::read(m_wakeFd, &count, sizeof count);
            return kStopped;
        }
        revents = fds[0].revents;
        return 1;
    }
}

bool PseudoTerminal::Write(const BYTE* data, std::size_t n) {
    std::size_t done = 0;
    while (m_fd >= 0 && done < n) {
        const ssize_t k = ::write(m_fd, data + done, n - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
        if (fds[1].revents & POLLIN) return false;  // left pending for the Read that follows
        if (fds[0].revents & (POLLERR | POLLNVAL)) return false;
    }
    return done == n;
}

void PseudoTerminal::Wake() {
    const int wake = m_wakeFd;
    if (wake < 0) return;
    const std::uint64_t one = 1;
    (void)::write(wake, &one, sizeof one);
}

void PseudoTerminal::HangUp() {
    if (m_openWatch >= 0) ::close(m_openWatch);
    if (m_fd >= 0) ::close(m_fd);
    m_openWatch = -1;
    m_fd = -1;
    m_lock.Release();
}

bool PseudoTerminal::GetClientLine(LineSettings& line) const {
    return m_openWatch >= 0 && m_fd >= 0 && ReadLineSettings(m_fd, line);
}
