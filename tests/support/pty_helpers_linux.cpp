#include "support/pty_helpers.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace testsupport {

std::vector<BYTE> ReadBytes(PseudoTerminal& line, std::size_t n, std::chrono::milliseconds deadline) {
    std::vector<BYTE> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    BYTE buffer[4096];
    while (out.size() < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
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

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_previous = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_previous) {
        ::setenv(m_name, m_previous->c_str(), 1);
    } else {
        ::unsetenv(m_name);
    }
}

HoldingProcess::HoldingProcess(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK, 0);
    char* argv[] = {const_cast<char*>("sleep"), const_cast<char*>("600"), nullptr};
    pid_t pid = -1;
    // posix_spawn returns once the child runs the program, so the device is open by then.
    if (posix_spawnp(&pid, "sleep", &actions, nullptr, argv, environ) == 0) m_nPid = pid;
    posix_spawn_file_actions_destroy(&actions);
}

HoldingProcess::~HoldingProcess() {
    if (m_nPid <= 0) return;
    ::kill(m_nPid, SIGKILL);
    while (::waitpid(m_nPid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

int PidOfAnEndedProcess() {
    char* argv[] = {const_cast<char*>("true"), nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, "true", nullptr, nullptr, argv, environ) != 0) return -1;
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return pid;
}

long ProcessCpuMs(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');  // the program name may hold spaces
    if (end == std::string::npos) return -1;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    long utime = -1, stime = -1;
    for (int i = 3; i <= 15 && fields >> field; ++i) {  // fields 14 and 15: utime, stime (clock ticks)
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    if (utime < 0 || stime < 0) return -1;
    return (utime + stime) * 1000 / ::sysconf(_SC_CLK_TCK);
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
