#pragma once
// Frames on the tool's serial line: 0x55, type, length N (0-127), N payload bytes, XOR of type, length and
// payload. RequestParser finds request frames in the byte stream the PC sends. Single-threaded values.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/win_types.h"

namespace rk9sim {

inline constexpr BYTE kSync = 0x55;
inline constexpr BYTE kSuccess = 'Z';
inline constexpr BYTE kNotification = 'W';
inline constexpr std::size_t kMaxPayload = 127;

BYTE FrameChecksum(BYTE type, const std::vector<BYTE>& payload);
// The whole frame; a payload longer than 127 bytes is cut to 127.
std::vector<BYTE> BuildFrame(BYTE type, std::vector<BYTE> payload);

struct Request {
    BYTE nCode = 0;
    std::vector<BYTE> payload;
    bool bChecksumOk = true;
};

class RequestParser {
public:
    // Feeds one byte; returns a request when this byte completed one. Bytes before a sync byte and frames
    // with a length of 0x80 or more are skipped.
    std::optional<Request> Feed(BYTE byte);

private:
    enum class State { Sync, Type, Length, Payload, Checksum };
    State m_eState = State::Sync;
    Request m_current;
    std::size_t m_nLength = 0;
};

}  // namespace rk9sim
