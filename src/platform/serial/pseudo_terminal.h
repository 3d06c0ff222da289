#pragma once
// PseudoTerminal: the serving side of a line a client opens as its serial port: the master of a new
// pseudo-terminal pair, or an existing tty given by path. Of a new pair only the master is held, so the
// slave is free for any client (a program that looks for other holders of the slave finds none); the client
// may open and close the slave path any number of times: while nobody has it open, Read waits for the next
// open (inotify on the slave's node), never spinning on the master's hang-up. An attached tty carries a UUCP
// lock file while it is served. Threads: one serving thread calls Read, Write and HangUp; any thread may call
// Wake. The owner (the simulator, a test) destroys it after the serving thread has ended.
// On Windows there are no pseudo-terminals: Create fails, and Attach serves a COM port (one end of a
// null-modem pair, whose other end the client opens); a client's settings cannot be seen from there.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/serial/line_settings.h"
#include "platform/serial/uucp_lock.h"
#include "platform/win_types.h"

class PseudoTerminal {
public:
    static constexpr int kStopped = -1;  // Read: Wake was called
    static constexpr int kGone = -2;     // Read: the line has hung up or was closed

    PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    // Creates a raw pseudo-terminal pair. False with a reason in `error` when the system refuses.
    bool Create(std::string* error);
    // Serves an existing tty (raw 8N1, non-blocking). False with a reason when it does not open.
    bool Attach(const std::string& path, std::string* error);

    // The path a client opens: the slave side, or the attached tty.
    const std::string& DevicePath() const { return m_strPath; }
    bool IsOpen() const;

    // Waits up to timeoutMs (-1: no limit) for bytes, through any number of closes and opens of a pair's
    // slave side. Returns the count (> 0), 0 after the time-out, kStopped after Wake (consumed), or kGone.
    int Read(BYTE* buffer, std::size_t capacity, int timeoutMs);
    // Writes all n bytes, waiting while the line is full. False when the line has gone or Wake was called.
    bool Write(const BYTE* data, std::size_t n);
    // Ends the current or next Read (or a waiting Write).
    void Wake();
    // Closes the line, so a client holding the slave sees a hang-up (POLLHUP, EIO).
    void HangUp();
    // The settings a client left on the slave side of a pair (the master reads the slave's settings).
    bool GetClientLine(LineSettings& line) const;

private:
#ifdef _WIN32
    bool SetReadTimeout(int timeoutMs);

    void* m_port = nullptr;       // HANDLE of the COM port, opened for overlapped I/O
    void* m_readEvent = nullptr;  // the reads' and writes' OVERLAPPED event
    void* m_wakeEvent = nullptr;  // manual-reset; set by Wake until a Read takes it
    volatile long m_wakePending = 0;
    int m_readTimeout = -2;  // what COMMTIMEOUTS holds now (-2: not yet set)
    std::string m_strPath;
#else
    // A pair's slave has no opener: waits for its next open, a Wake or the deadline (-1: none).
    int WaitForClient(long long deadlineMs);
    // Waits until `fd` is readable (1, with its poll events in `revents`), a Wake (kStopped), the deadline
    // (0) or a failure (kGone).
    int WaitReadable(int fd, long long deadlineMs, short& revents);

    int m_fd = -1;         // the master, or the attached tty
    int m_openWatch = -1;  // a pair: inotify watching the slave's node for opens
    // Made by Create or Attach; Wake may come from another thread (a stop signal's) at any time, so the
    // descriptor is published atomically.
    std::atomic<int> m_wakeFd{-1};
    std::string m_strPath;
    UucpLock m_lock;  // an attached tty's lock file
#endif
};
