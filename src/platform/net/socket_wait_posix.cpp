#include "platform/net/socket_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

CSocketWaker::CSocketWaker() {
    int ends[2];
    if (pipe(ends) != 0) return;
    for (int end : ends) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    m_wait = ends[0];
    m_wake = ends[1];
}

CSocketWaker::~CSocketWaker() {
    if (m_wait != kNone) close(static_cast<int>(m_wait));
    if (m_wake != kNone) close(static_cast<int>(m_wake));
}

void CSocketWaker::Wake() {
    if (m_wake == kNone) return;
    const char wake = 1;
    // A full pipe is already readable: the wake is in effect either way.
    while (write(static_cast<int>(m_wake), &wake, 1) < 0 && errno == EINTR) {
    }
}

void CSocketWaker::Reset() {
    if (m_wait == kNone) return;
    char bytes[64];
    while (read(static_cast<int>(m_wait), bytes, sizeof bytes) > 0) {
    }
}

SocketWaitResult WaitForSocket(std::intptr_t socket, bool forWrite, const CSocketWaker& waker,
                               int timeoutMs) {
    pollfd fds[2] = {{static_cast<int>(socket), static_cast<short>(forWrite ? POLLOUT | POLLIN : POLLIN), 0},
                     {static_cast<int>(waker.WaitHandle()), POLLIN, 0}};
    const nfds_t count = waker.IsValid() ? 2 : 1;
    for (;;) {
        const int ready = poll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready < 0 && errno == EINTR) continue;  // a signal: the caller's deadline decides
        if (ready < 0) return SocketWaitResult::Failed;
        if (ready == 0) return SocketWaitResult::TimedOut;
        if (count == 2 && fds[1].revents) return SocketWaitResult::Woken;
        return SocketWaitResult::Ready;
    }
}
