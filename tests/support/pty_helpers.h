#pragma once
// Helpers for device tests on real pseudo-terminals: reading with a deadline, mapping COM numbers through
// QUARVEL_PORTS for one test, holding a device locked from another descriptor or open in another process.
// Test thread only.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial/pseudo_terminal.h"

namespace testsupport {

// Reads until `n` bytes have arrived or the deadline passes; returns what arrived.
std::vector<BYTE> ReadBytes(PseudoTerminal& line, std::size_t n, std::chrono::milliseconds deadline);
// True when nothing arrives within `quiet`.
bool StaysQuiet(PseudoTerminal& line, std::chrono::milliseconds quiet);

// Sets an environment variable for the lifetime of the object and restores the previous value afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

// Sets QUARVEL_PORTS for the lifetime of the object.
class ScopedPorts : public ScopedEnv {
public:
    explicit ScopedPorts(const std::string& entries) : ScopedEnv("QUARVEL_PORTS", entries) {}
};

// Another process (a `sleep`) that has `path` open as its standard input, plainly: no lock of any kind, no
// reading. Killed by its pid when the object goes.
class HoldingProcess {
public:
    explicit HoldingProcess(const std::string& path);
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;
    ~HoldingProcess();
    int Pid() const { return m_nPid; }

private:
    int m_nPid = -1;
};

// A pid that no process has: that of a child that has already ended and been reaped.
int PidOfAnEndedProcess();
// Milliseconds of CPU that process `pid` has used so far (user and system); -1 when it cannot be read.
long ProcessCpuMs(int pid);

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
