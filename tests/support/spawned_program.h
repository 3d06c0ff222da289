#pragma once
// SpawnedProgram: runs a program of the build as a child process with extra environment variables,
// collects its standard output and error, and waits for lines or its end with deadlines. The child is
// stopped by its pid (never by name): SIGKILL in the destructor if it still runs. Test thread only.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win_types.h"

class SpawnedProgram {
public:
    using Env = std::vector<std::pair<std::string, std::string>>;

    SpawnedProgram() = default;
    ~SpawnedProgram();
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    // Starts argv[0] (a path) with the current environment plus `env` (which overrides). False with a
    // reason when it could not be started.
    bool Start(const std::vector<std::string>& argv, const Env& env, std::string* error);
    // Waits until standard output holds a whole line that starts with `prefix`; returns it in *line.
    bool WaitForLine(const std::string& prefix, DWORD timeoutMs, std::string* line);
    // Waits until standard error holds `text`.
    bool WaitForErr(const std::string& text, DWORD timeoutMs);
    // Waits for the child to end (collecting all of its output); false when the deadline passed first.
    bool WaitForExit(DWORD timeoutMs, int* exitCode);
    void Signal(int signal);
    pid_t Pid() const { return m_pid; }

    const std::string& Out() const { return m_out; }
    const std::string& Err() const { return m_err; }

private:
    // Reads what is available from the pipes, waiting at most timeoutMs; false when both are closed.
    bool Pump(int timeoutMs);

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    bool m_reaped = false;
    int m_status = 0;
    std::string m_out;
    std::string m_err;
};

// Path of a program built in this tree, e.g. BuiltProgram("tools/quarvel-cli/quarvel-cli").
std::string BuiltProgram(const std::string& relative);
