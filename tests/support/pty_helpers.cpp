#include "support/pty_helpers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace testsupport {

std::vector<BYTE> ReadBytes(PseudoTerminal& line, std::size_t n, std::chrono::milliseconds deadline) {
    std::vector<BYTE> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    BYTE buffer[4096];
    while (out.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        const std::size_t want = n - out.size() < sizeof buffer ? n - out.size() : sizeof buffer;
        const int k = line.Read(buffer, want, static_cast<int>(left.count()));
        if (k <= 0) break;
        out.insert(out.end(), buffer, buffer + k);
    }
    return out;
}

bool StaysQuiet(PseudoTerminal& line, std::chrono::milliseconds quiet) {
    BYTE byte = 0;
    return line.Read(&byte, 1, static_cast<int>(quiet.count())) == 0;
}

ScopedPorts::ScopedPorts(const std::string& entries) {
    if (const char* old = std::getenv("QUARVEL_PORTS")) m_previous = old;
    ::setenv("QUARVEL_PORTS", entries.c_str(), 1);
}

ScopedPorts::~ScopedPorts() {
    if (m_previous) {
        ::setenv("QUARVEL_PORTS", m_previous->c_str(), 1);
    } else {
        ::unsetenv("QUARVEL_PORTS");
    }
}

LockedDevice::LockedDevice(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    m_bLocked = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

LockedDevice::~LockedDevice() {
    if (m_fd >= 0) ::close(m_fd);
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace testsupport
