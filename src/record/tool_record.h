#pragma once
// ToolRecord: the tool data of the last session, a plain value. The session core holds one under its
// record lock (see quarvel_session.h); copies of it may be used by any thread.
#include <cstdint>

#include "platform/win_types.h"
#include "protocol/protocol_codes.h"

struct ToolRecord {
    // The only tool model the session accepts, as NUL-padded 8-bit text; never changed.
    char ExpectedModel[8] = {'R', 'K', '-', '9', 0, 0, 0, 0};
    // The 'D' reply as received: bytes 0..7 the model text, byte 14 the device flags.
    BYTE DeviceInfo[16] = {};
    // The seven values of the 'a' reply, widened to 32 bits.
    DWORD CycleCounter = 0;
    DWORD TotalCounter = 0;
    DWORD PositionCounts = 0;
    DWORD ForceReading = 0;
    DWORD CycleFlags = 0;
    DWORD ForceDivisor = 0;
    DWORD ForceFactor = 0;
    // The four texts, UTF-16 and NUL-terminated, cut to capacity by the commands.
    char16_t ControllerSerial[CONTROLLER_SERIAL_UNITS] = {};
    char16_t ToolSerial[TOOL_SERIAL_UNITS] = {};
    char16_t FirmwareVersion[FIRMWARE_VERSION_UNITS] = {};
    char16_t ToolModel[TOOL_MODEL_UNITS] = {};
};

// Index of the device-flags byte inside DeviceInfo and the bit that asks for the keep-alive exchange.
inline constexpr int kDeviceFlagsByte = 14;
inline constexpr BYTE kDeviceFlagKeepAlive = 0x20;

// True when DeviceInfo's model text (bytes 0..7) equals `expected` as NUL-terminated byte strings,
// compared byte for byte and case-sensitively. The comparison never looks past the eight model
// bytes, so a model text without a NUL cannot make it read beyond DeviceInfo.
bool ModelMatches(const char (&expected)[8], const BYTE (&deviceInfo)[16]);

inline bool WantsKeepAlive(const ToolRecord& record) {
    return (record.DeviceInfo[kDeviceFlagsByte] & kDeviceFlagKeepAlive) != 0;
}
