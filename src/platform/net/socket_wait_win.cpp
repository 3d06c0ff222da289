// Windows cannot wait for a socket and an event in one WSAPoll, so the waker is itself a socket: a UDP
// socket on the loopback address, connected to itself, which turns readable when Wake sends it a byte.
#include "platform/net/socket_wait.h"

#include <winsock2.h>
#include <ws2tcpip.h>

CSocketWaker::CSocketWaker() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_long nonBlocking = 1;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        return;
    }
    m_wait = static_cast<std::intptr_t>(s);
    m_wake = m_wait;
}

CSocketWaker::~CSocketWaker() {
    if (m_wait == kNone) return;
    closesocket(static_cast<SOCKET>(m_wait));
    WSACleanup();
}

void CSocketWaker::Wake() {
    if (m_wake == kNone) return;
    const char wake = 1;
    send(static_cast<SOCKET>(m_wake), &wake, 1, 0);
}

void CSocketWaker::Reset() {
    if (m_wait == kNone) return;
    char bytes[64];
    while (recv(static_cast<SOCKET>(m_wait), bytes, sizeof bytes, 0) > 0) {
    }
}

SocketWaitResult WaitForSocket(std::intptr_t socket, bool forWrite, const CSocketWaker& waker,
                               int timeoutMs) {
    WSAPOLLFD fds[2] = {
        {static_cast<SOCKET>(socket), static_cast<SHORT>(forWrite ? POLLWRNORM | POLLRDNORM : POLLRDNORM), 0},
        {static_cast<SOCKET>(waker.WaitHandle()), POLLRDNORM, 0}};
    const ULONG count = waker.IsValid() ? 2 : 1;
    const int ready = WSAPoll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready < 0) return SocketWaitResult::Failed;
    if (ready == 0) return SocketWaitResult::TimedOut;
    if (count == 2 && fds[1].revents) return SocketWaitResult::Woken;
    return SocketWaitResult::Ready;
}
