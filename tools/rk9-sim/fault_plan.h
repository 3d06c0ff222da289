#pragma once
// FaultPlan: which misbehaviour the simulated controller shows. A plain value; exchange numbers count every
// request received, from 0. "After N" means the first N requests are served normally.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "platform/win_types.h"

namespace rk9sim {

inline constexpr BYTE kOutsideReplyType = 0xB2;  // a type byte no receiver takes as a reply

struct FaultPlan {
    bool bSilent = false;                      // never answer
    std::optional<std::uint32_t> silentAfter;  // stop answering after N exchanges
    std::set<BYTE> silentCodes;                // never answer these codes
    std::set<BYTE> badChecksumCodes;           // replies to these codes carry a wrong checksum
    double dBadChecksumRate = 0.0;             // ... and any reply with this probability
    std::uint32_t nSeed = 1;                   // for the random choices (rate, garbage bytes)
    std::map<BYTE, BYTE> failStatus;           // code -> failure status (0xA5 to 0xB1) answered instead
    std::uint32_t nGarbageBytes = 0;           // random bytes (never 0x55) before each reply
    std::uint32_t nNotifications = 0;          // 'W' notification frames before each reply
    std::set<BYTE> badTypeCodes;               // replies to these codes use a type outside the reply set
    std::uint32_t nByteDelayUs = 0;            // > 0: send replies byte by byte with this pause
    std::uint32_t nReplyDelayMs = 0;           // pause before each reply
    std::map<BYTE, BYTE> shortPayload;         // code -> payload length cut to this many bytes
    std::set<BYTE> noNulCodes;                 // texts of these codes are sent without their NUL
    std::set<BYTE> strayAfterCodes;            // an unsolicited 'Z' frame (55 5A 00 5A) follows these replies
    std::optional<std::uint32_t> hangUpAfter;  // close the device when request N+1 arrives
};

// A fault plan per exchange, chosen by the exchange number (from 0) and the request's code; called on the
// simulator's serving thread. Soak tests use it to give every exchange a fault of its own, known in advance.
using FaultSchedule = std::function<FaultPlan(std::uint32_t exchange, BYTE code)>;

}  // namespace rk9sim
