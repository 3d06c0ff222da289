#include "frame.h"

namespace rk9sim {

BYTE FrameChecksum(BYTE type, const std::vector<BYTE>& payload) {
    BYTE sum = type ^ static_cast<BYTE>(payload.size());
    for (BYTE b : payload) sum ^= b;
    return sum;
}

std::vector<BYTE> BuildFrame(BYTE type, std::vector<BYTE> payload) {
    if (payload.size() > kMaxPayload) payload.resize(kMaxPayload);
    std::vector<BYTE> frame;
    frame.reserve(payload.size() + 4);
    frame.push_back(kSync);
    frame.push_back(type);
    frame.push_back(static_cast<BYTE>(payload.size()));
    for (BYTE b : payload) frame.push_back(b);
    frame.push_back(FrameChecksum(type, payload));
    return frame;
}

std::optional<Request> RequestParser::Feed(BYTE byte) {
    switch (m_eState) {
        case State::Sync:
            if (byte == kSync) m_eState = State::Type;
            return std::nullopt;
        case State::Type:
            m_current = Request{byte, {}, true};
            m_eState = State::Length;
            return std::nullopt;
        case State::Length:
            m_nLength = byte;
            if (m_nLength > kMaxPayload) {
                m_eState = byte == kSync ? State::Type : State::Sync;
                return std::nullopt;
            }
            m_eState = m_nLength == 0 ? State::Checksum : State::Payload;
            return std::nullopt;
        case State::Payload:
            m_current.payload.push_back(byte);
            if (m_current.payload.size() == m_nLength) m_eState = State::Checksum;
            return std::nullopt;
        case State::Checksum:
            m_current.bChecksumOk = byte == FrameChecksum(m_current.nCode, m_current.payload);
            m_eState = State::Sync;
            return std::move(m_current);
    }
    return std::nullopt;
}

}  // namespace rk9sim
