#pragma once
// Waiting for a network socket that another thread can cut short: the team history's sync thread waits
// for its server this way, so that Exit never waits out a slow or silent server.
//
// CSocketWaker is made and waited on by one thread; Wake may be called from any thread, and stays in
// effect until Reset. Failures are values.
#include <cstdint>

class CSocketWaker {
public:
    CSocketWaker();
    ~CSocketWaker();
    CSocketWaker(const CSocketWaker&) = delete;
    CSocketWaker& operator=(const CSocketWaker&) = delete;

    bool IsValid() const { return m_wait != kNone; }
    // Any thread: every wait from now on returns Woken at once, until Reset.
    void Wake();
    // The waiting thread: takes back every Wake so far.
    void Reset();
    // The descriptor (Windows: SOCKET) that turns readable on Wake.
    std::intptr_t WaitHandle() const { return m_wait; }

    static constexpr std::intptr_t kNone = -1;

private:
    std::intptr_t m_wait = kNone;  // readable once woken
    std::intptr_t m_wake = kNone;  // written to by Wake (POSIX: a pipe's end; Windows: the same socket)
};

enum class SocketWaitResult { Ready, TimedOut, Woken, Failed };

// Waits until `socket` is readable (with `forWrite`: readable or writable), the waker is woken, or
// `timeoutMs` (negative: no limit) has passed. An error or hang-up on the socket counts as Ready: the next
// call on it tells what happened.
SocketWaitResult WaitForSocket(std::intptr_t socket, bool forWrite, const CSocketWaker& waker, int timeoutMs);
