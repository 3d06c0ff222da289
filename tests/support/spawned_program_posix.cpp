#include "support/spawned_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}
}  // namespace

SpawnedProgram::~SpawnedProgram() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &m_status, 0);
    }
    if (m_outFd >= 0) close(m_outFd);
    if (m_errFd >= 0) close(m_errFd);
}

bool SpawnedProgram::Start(const std::vector<std::string>& argv, const Env& env, std::string* error) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : env) merged[name] = value;
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : merged) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return *error = "pipe failed", false;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return *error = "pipe failed", false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // The child gets default signal dispositions and an empty mask, whatever the test runner set.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawn(&m_pid, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(out[1]);
    close(err[1]);
    m_outFd = out[0];
    m_errFd = err[0];
    if (rc != 0) {
        m_pid = -1;
        *error = std::string("posix_spawn: ") + std::strerror(rc);
        return false;
    }
    return true;
}

bool SpawnedProgram::Pump(int timeoutMs) {
    pollfd fds[2];
    int n = 0;
    if (m_outFd >= 0) fds[n++] = {m_outFd, POLLIN, 0};
    if (m_errFd >= 0) fds[n++] = {m_errFd, POLLIN, 0};
    if (n == 0) return false;
    const int ready = poll(fds, static_cast<nfds_t>(n), timeoutMs);
    if (ready <= 0) return true;
    for (int i = 0; i < n; ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char buffer[4096];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        int& fd = fds[i].fd == m_outFd ? m_outFd : m_errFd;
        std::string& sink = fds[i].fd == m_outFd ? m_out : m_err;
        if (got <= 0) {
            close(fd);
            fd = -1;
        } else {
            sink.append(buffer, static_cast<std::size_t>(got));
        }
    }
    return true;
}

bool SpawnedProgram::WaitForLine(const std::string& prefix, DWORD timeoutMs, std::string* line) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::size_t start = 0;
        for (std::size_t end; (end = m_out.find('\n', start)) != std::string::npos; start = end + 1) {
            if (m_out.compare(start, prefix.size(), prefix) == 0) {
                if (line != nullptr) *line = m_out.substr(start, end - start);
                return true;
            }
        }
        const int left = RemainingMs(deadline);
        if (left == 0 || !Pump(left)) return false;
    }
}

bool SpawnedProgram::WaitForErr(const std::string& text, DWORD timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_err.find(text) == std::string::npos) {
        const int left = RemainingMs(deadline);
        if (left == 0 || !Pump(left)) return false;
    }
    return true;
}

bool SpawnedProgram::WaitForExit(DWORD timeoutMs, int* exitCode) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Pump(RemainingMs(deadline))) {
        if (RemainingMs(deadline) == 0) return false;
    }
    // Both pipes closed: the child has ended or is about to; reap it within what is left.
    while (!m_reaped) {
        const pid_t r = waitpid(m_pid, &m_status, WNOHANG);
        if (r == m_pid) {
            m_reaped = true;
            break;
        }
        if (RemainingMs(deadline) == 0) return false;
        // The child closed its output but has not exited yet: pause briefly rather than spin.
        usleep(1000);
    }
    *exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    return true;
}

void SpawnedProgram::Signal(int signal) {
    if (m_pid > 0 && !m_reaped) kill(m_pid, signal);
}

std::string BuiltProgram(const std::string& relative) {
    const char* binary = std::getenv("QUARVEL_BINARY_DIR");
    return std::string(binary != nullptr ? binary : QUARVEL_BUILD_TREE) + "/" + relative;
}
