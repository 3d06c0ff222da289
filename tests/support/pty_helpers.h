#pragma once
// Helpers for device tests on real pseudo-terminals: reading with a deadline, mapping COM numbers through
// QUARVEL_PORTS for one test, and holding a device locked from another descriptor. Test thread only.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/pseudo_terminal.h"

namespace testsupport {

// Reads until `n` bytes have arrived or the deadline passes; returns what arrived.
std::vector<BYTE> ReadBytes(PseudoTerminal& line, std::size_t n, std::chrono::milliseconds deadline);
// True when nothing arrives within `quiet`.
bool StaysQuiet(PseudoTerminal& line, std::chrono::milliseconds quiet);

// Sets QUARVEL_PORTS for the lifetime of the object and restores the previous value afterwards.
class ScopedPorts {
public:
    explicit ScopedPorts(const std::string& entries);
    ScopedPorts(const ScopedPorts&) = delete;
    ScopedPorts& operator=(const ScopedPorts&) = delete;
    ~ScopedPorts();

private:
    std::optional<std::string> m_previous;
};

// Opens `path` on a descriptor of its own and holds flock(LOCK_EX) on it, as another program would.
class LockedDevice {
public:
    explicit LockedDevice(const std::string& path);
    LockedDevice(const LockedDevice&) = delete;
    LockedDevice& operator=(const LockedDevice&) = delete;
    ~LockedDevice();
    bool IsLocked() const { return m_bLocked; }

private:
    int m_fd = -1;
    bool m_bLocked = false;
};

// Milliseconds since `start`.
double MsSince(std::chrono::steady_clock::time_point start);

}  // namespace testsupport
