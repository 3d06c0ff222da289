#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace testsupport {
namespace {

int OpenPidFd(int pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

int MsLeft(std::chrono::steady_clock::time_point end) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

SimProcess::~SimProcess() {
    if (m_nPid > 0) Stop();
    if (m_nOut >= 0) ::close(m_nOut);
}

std::string SimProcess::ProgramPath() {
    const char* dir = std::getenv("QUARVEL_BINARY_DIR");
    return std::string(dir ? dir : QUARVEL_BUILD_TREE) + "/tools/rk9-sim/rk9-sim";
}

bool SimProcess::Start(const std::vector<std::string>& args, std::chrono::milliseconds deadline) {
    if (m_nPid > 0) Stop();
    // Nothing of an earlier child may stand for this one: its device number may belong to another
    // program's pseudo-terminal by now.
    m_strReadyLine.clear();
    m_strDevicePath.clear();
    m_strOutput.clear();
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    const std::string program = ProgramPath();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    m_nPid = pid;
    m_nOut = pipeFds[0];
    const auto end = std::chrono::steady_clock::now() + deadline;
    if (!ReadUntil('\n', end, m_strReadyLine)) return false;
    const std::string prefix = "rk9-sim ready: ";
    if (m_strReadyLine.rfind(prefix, 0) != 0) return false;
    const std::size_t pathEnd = m_strReadyLine.find(' ', prefix.size());
    m_strDevicePath = m_strReadyLine.substr(prefix.size(), pathEnd - prefix.size());
    return !m_strDevicePath.empty();
}

// Appends the child's output to `text` until `stop` (kept out) or end of file; false at the deadline.
bool SimProcess::ReadUntil(char stop, std::chrono::steady_clock::time_point end, std::string& text) {
    for (;;) {
        pollfd fd{m_nOut, POLLIN, 0};
        const int ready = ::poll(&fd, 1, MsLeft(end));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char c = 0;
        const ssize_t k = ::read(m_nOut, &c, 1);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return stop == '\0';
        if (c == stop) return true;
        text.push_back(c);
    }
}

bool SimProcess::Stop(std::chrono::milliseconds deadline) {
    if (m_nPid <= 0) return false;
    const auto end = std::chrono::steady_clock::now() + deadline;
    const int pidFd = OpenPidFd(m_nPid);
    ::kill(m_nPid, SIGTERM);
    bool ended = false;
    if (pidFd >= 0) {
        pollfd fd{pidFd, POLLIN, 0};
        while (!ended) {
            const int ready = ::poll(&fd, 1, MsLeft(end));
            if (ready < 0 && errno == EINTR) continue;
            ended = ready > 0;
            break;
        }
        ::close(pidFd);
    }
    if (!ended) ::kill(m_nPid, SIGKILL);
    int status = 0;
    while (::waitpid(m_nPid, &status, 0) < 0 && errno == EINTR) {
    }
    m_nPid = -1;
    if (m_nOut >= 0) {
        (void)ReadUntil('\0', std::chrono::steady_clock::now() + std::chrono::seconds(2), m_strOutput);
        ::close(m_nOut);
        m_nOut = -1;
    }
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testsupport
