#pragma once
// Responder: decides what the simulated controller sends for each request, from the tool profile and the
// fault plan. Pure logic without I/O; one thread (the simulator's serving thread) uses an instance.
#include <cstdint>
#include <random>
#include <vector>

#include "fault_plan.h"
#include "frame.h"
#include "tool_profile.h"

namespace rk9sim {

// The status answered to codes the tool does not know and to requests with a wrong checksum.
inline constexpr BYTE kUnknownCommandStatus = 0xA7;
inline constexpr BYTE kBadRequestStatus = 0xA6;

struct ReplyPlan {
    bool bSilent = false;            // send nothing
    bool bHangUp = false;            // close the device instead of answering
    std::vector<BYTE> bytes;         // what to send: any garbage and notifications, then the reply frame
    std::uint32_t nDelayMs = 0;      // before the first byte
    std::uint32_t nByteDelayUs = 0;  // > 0: between bytes
};

class Responder {
public:
    Responder(ToolProfile profile, FaultPlan faults);

    ReplyPlan Answer(const Request& request);
    // From now on each exchange uses the plan the schedule gives for it instead of the fixed one.
    void SetSchedule(FaultSchedule schedule) { m_schedule = std::move(schedule); }
    // From now on answers as this tool.
    void SetProfile(ToolProfile profile) { m_profile = std::move(profile); }

    // The reply frame a fault-free tool sends for the code (the status 0xA7 frame for unknown codes).
    std::vector<BYTE> NormalReply(BYTE code) const;

private:
    std::vector<BYTE> Payload(BYTE code, bool& known) const;
    std::vector<BYTE> TextPayload(const std::string& text, BYTE code) const;
    std::vector<BYTE> Prefix();

    ToolProfile m_profile;
    FaultPlan m_faults;
    FaultSchedule m_schedule;
    std::uint32_t m_nExchange = 0;
    std::mt19937 m_random;
};

}  // namespace rk9sim
