#pragma once
// ToolProfile: what the simulated RK-9 controller reports. A plain value; any thread may use a copy.
#include <array>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace rk9sim {

inline constexpr BYTE kKeepAliveFlag = 0x20;  // device flags bit: the tool wants the keep-alive exchange

struct ToolProfile {
    std::string strModel = "RK-9";       // 'D' bytes 0-7, NUL-terminated (at most 7 characters)
    BYTE nDeviceFlags = kKeepAliveFlag;  // 'D' byte 14
    std::array<BYTE, 7> infoBytes = {1, 4, 0, 0, 0, 0, 0};  // 'D' bytes 8-13 and 15, carried, not interpreted
    std::uint16_t nCycleCounter = 152;
    std::uint32_t nTotalCounter = 873;
    std::uint16_t nPositionCounts = 250;
    std::uint16_t nForceReading = 300;
    std::uint16_t nForceFactor = 3;
    std::uint16_t nForceDivisor = 2;
    BYTE nCycleFlags = 5;  // result 1 (mechanical breakup), direction forward
    std::string strControllerSerial = "C-981";
    std::string strToolSerial = "T-417";
    std::string strFirmwareVersion = "1.04";
    std::string strToolModel = "RK-9 Crimp 6mm2";
};

// Applies the keys present in a JSON object to `profile` (see `rk9-sim --help`). False, with the reason in
// `error`, when the text is not JSON or a key has the wrong type or range; the profile is then unchanged.
bool ApplyProfileJson(const std::string& jsonText, ToolProfile& profile, std::string* error);

}  // namespace rk9sim
