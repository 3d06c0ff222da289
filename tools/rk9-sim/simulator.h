#pragma once
// Simulator: the simulated RK-9 controller on a line. It serves a new pseudo-terminal pair (or a tty given
// by path), parses the requests the PC sends and answers them through a Responder, recording each request.
// Threads: Run (or the thread Start makes) serves; Stop, HangUpNow and the observers may be called from any
// thread. The owner destroys it after Stop; the destructor stops it too.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fault_plan.h"
#include "platform/serial/pseudo_terminal.h"
#include "responder.h"
#include "tool_profile.h"

namespace rk9sim {

struct RequestRecord {
    BYTE nCode = 0;
    bool bChecksumOk = true;
    std::chrono::steady_clock::time_point at;
};

class Simulator {
public:
    explicit Simulator(ToolProfile profile = {}, FaultPlan faults = {});
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator();

    // Creates the pseudo-terminal pair a client opens at DevicePath(). False with a reason on failure.
    bool OpenPty(std::string* error);
    // Serves an existing tty instead.
    bool OpenDevice(const std::string& path, std::string* error);
    const std::string& DevicePath() const { return m_line.DevicePath(); }

    // Gives every exchange the fault plan the schedule names for it. Call before Run or Start.
    void SetFaultSchedule(FaultSchedule schedule) { m_responder.SetSchedule(std::move(schedule)); }

    // After `after` requests, falls silent for `silence` (the cable being moved), then answers as `next`:
    // tool after tool on one line. Call before Run or Start.
    void SetNextTool(ToolProfile next, std::uint32_t after, std::chrono::milliseconds silence);

    // Serves on the calling thread until Stop.
    void Run();
    // Serves on a thread of its own until Stop. False when the thread cannot be started.
    bool Start();
    // Ends serving (and joins the thread Start made). Any thread; more than once is harmless.
    void Stop();
    // Closes the device at the next opportunity, as a tool whose cable is pulled.
    void HangUpNow();

    std::vector<RequestRecord> Requests() const;
    // Requests received per code.
    std::map<BYTE, std::uint32_t> Counts() const;
    // True when at least n requests have arrived within the time-out.
    bool WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const;
    bool HasHungUp() const;
    // True when the device has been closed (a hang-up) within the time-out.
    bool WaitForHangUp(std::chrono::milliseconds timeout) const;
    // The line settings the client left on the pseudo-terminal (speed included).
    bool GetClientLine(LineSettings& line) const { return m_line.GetClientLine(line); }

private:
    void Serve(const Request& request);
    void Send(const ReplyPlan& plan);
    // Pauses unless Stop comes first; false when stopped.
    bool Pause(std::chrono::microseconds duration);
    void HangUp();
    // True while the line is silent between two tools; swaps to the next tool when the silence is over.
    bool BetweenTools();

    PseudoTerminal m_line;
    Responder m_responder;
    RequestParser m_parser;
    std::thread m_thread;

    // The next tool (serving thread only once serving).
    std::optional<ToolProfile> m_nextTool;
    std::uint32_t m_nNextToolAfter = 0;
    std::chrono::milliseconds m_nextToolSilence{0};
    std::uint32_t m_nReceived = 0;
    std::optional<std::chrono::steady_clock::time_point> m_silentUntil;

    mutable std::mutex m_mutex;  // guards everything below
    mutable std::condition_variable m_cv;
    bool m_bStop = false;
    bool m_bHangUpRequested = false;
    bool m_bHungUp = false;
    std::vector<RequestRecord> m_requests;
};

}  // namespace rk9sim
