#pragma once
// PseudoTerminal: the serving side of a line a client opens as its serial port: the master of a new
// pseudo-terminal pair, or an existing tty given by path. For a new pair the slave side is kept open here
// too, so the client may open and close the slave path any number of times without the master seeing a
// hang-up. Threads: one serving thread calls Read, Write and HangUp; any thread may call Wake. The owner
// (the simulator, a test) destroys it after the serving thread has ended.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/line_settings.h"
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
    bool IsOpen() const { return m_fd >= 0; }

    // Waits up to timeoutMs (-1: no limit) for bytes. Returns the count (> 0), 0 after the time-out, kStopped
    // after Wake (consumed), or kGone.
    int Read(BYTE* buffer, std::size_t capacity, int timeoutMs);
    // Writes all n bytes, waiting while the line is full. False when the line has gone or Wake was called.
    bool Write(const BYTE* data, std::size_t n);
    // Ends the current or next Read (or a waiting Write).
    void Wake();
    // Closes both sides, so a client holding the slave sees a hang-up (POLLHUP, EIO).
    void HangUp();
    // The settings a client left on the slave side of a pair (read through the kept slave descriptor).
    bool GetClientLine(LineSettings& line) const;
    // Drops the bytes waiting to reach the client, as if it had read them.
    void FlushToClient();

private:
    int m_fd = -1;       // the master, or the attached tty
    int m_slaveFd = -1;  // the kept slave side of a pair
    int m_wakeFd = -1;
    std::string m_strPath;
};
