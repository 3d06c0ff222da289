#pragma once
// SimProcess: runs the rk9-sim program as a child process for whole-program tests. Start waits for its
// ready line (with a deadline) and parses the device path; Stop sends SIGTERM to that pid and waits for it
// to end (with a deadline, then SIGKILL). Test thread only; the destructor stops a running child.
#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

class SimProcess {
public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();

    // The rk9-sim program of this build (QUARVEL_BINARY_DIR/tools/rk9-sim/rk9-sim).
    static std::string ProgramPath();

    // False when the program does not start or prints no ready line before the deadline. A child of an
    // earlier Start is stopped first; nothing of it is kept.
    bool Start(const std::vector<std::string>& args,
               std::chrono::milliseconds deadline = std::chrono::milliseconds(10000));
    const std::string& DevicePath() const { return m_strDevicePath; }
    const std::string& ReadyLine() const { return m_strReadyLine; }
    int Pid() const { return m_nPid; }

    // Stops the child by its pid. True when it ended by itself after SIGTERM with exit status 0. The rest
    // of its standard output (the exit summary) is then in Output().
    bool Stop(std::chrono::milliseconds deadline = std::chrono::milliseconds(10000));
    const std::string& Output() const { return m_strOutput; }

private:
    bool ReadUntil(char stop, std::chrono::steady_clock::time_point end, std::string& text);

    int m_nPid = -1;
    int m_nOut = -1;  // the child's standard output
    std::string m_strDevicePath;
    std::string m_strReadyLine;
    std::string m_strOutput;
};

}  // namespace testsupport
