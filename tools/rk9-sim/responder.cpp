#include "responder.h"

#include <utility>

namespace rk9sim {
namespace {

void Put16(std::vector<BYTE>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<BYTE>(value);
    out[at + 1] = static_cast<BYTE>(value >> 8);
}

void Put32(std::vector<BYTE>& out, std::size_t at, std::uint32_t value) {
    Put16(out, at, value);
    Put16(out, at + 2, value >> 16);
}

}  // namespace

Responder::Responder(ToolProfile profile, FaultPlan faults)
    : m_profile(std::move(profile)), m_faults(std::move(faults)), m_random(m_faults.nSeed) {}

std::vector<BYTE> Responder::TextPayload(const std::string& text, BYTE code) const {
    std::vector<BYTE> payload(text.begin(), text.end());
    if (payload.size() > kMaxPayload - 1) payload.resize(kMaxPayload - 1);
    if (!m_faults.noNulCodes.contains(code)) payload.push_back(0);
    return payload;
}

std::vector<BYTE> Responder::Payload(BYTE code, bool& known) const {
    known = true;
    switch (code) {
        case 'D': {
            std::vector<BYTE> info(16, 0);
            const std::size_t len = m_profile.strModel.size() < 7 ? m_profile.strModel.size() : 7;
            for (std::size_t i = 0; i < len; ++i) info[i] = static_cast<BYTE>(m_profile.strModel[i]);
            for (std::size_t i = 0; i < 6; ++i) info[8 + i] = m_profile.infoBytes[i];
            info[14] = m_profile.nDeviceFlags;
            info[15] = m_profile.infoBytes[6];
            return info;
        }
        case 'A':
        case 'H':
            return {};
        case 'a': {
            std::vector<BYTE> data(18, 0);
            Put16(data, 0, m_profile.nCycleCounter);
            Put32(data, 2, m_profile.nTotalCounter);
            Put16(data, 6, m_profile.nPositionCounts);
            Put16(data, 8, m_profile.nForceReading);
            data[12] = m_profile.nCycleFlags;
            Put16(data, 14, m_profile.nForceDivisor);
            Put16(data, 16, m_profile.nForceFactor);
            return data;
        }
        case 'c':
            return TextPayload(m_profile.strControllerSerial, code);
        case 'e':
            return TextPayload(m_profile.strToolSerial, code);
        case 'g':
            return TextPayload(m_profile.strFirmwareVersion, code);
        case 'h':
            return TextPayload(m_profile.strToolModel, code);
        default:
            known = false;
            return {};
    }
}

std::vector<BYTE> Responder::NormalReply(BYTE code) const {
    bool known = false;
    std::vector<BYTE> payload = Payload(code, known);
    return known ? BuildFrame(kSuccess, std::move(payload)) : BuildFrame(kUnknownCommandStatus, {});
}

std::vector<BYTE> Responder::Prefix() {
    std::vector<BYTE> prefix;
    std::uniform_int_distribution<int> byteValue(0, 254);
    for (std::uint32_t i = 0; i < m_faults.nGarbageBytes; ++i) {
        int b = byteValue(m_random);
        if (b >= kSync) ++b;  // garbage never holds a sync byte, so it can never swallow the reply
        prefix.push_back(static_cast<BYTE>(b));
    }
    for (std::uint32_t i = 0; i < m_faults.nNotifications; ++i) {
        const auto frame = BuildFrame(kNotification, {static_cast<BYTE>(i % 64)});
        prefix.insert(prefix.end(), frame.begin(), frame.end());
    }
    return prefix;
}

ReplyPlan Responder::Answer(const Request& request) {
    const std::uint32_t exchange = m_nExchange++;
    const BYTE code = request.nCode;
    if (m_schedule) m_faults = m_schedule(exchange, code);
    ReplyPlan plan;
    if (m_faults.hangUpAfter && exchange >= *m_faults.hangUpAfter) {
        plan.bHangUp = true;
        return plan;
    }
    if (m_faults.bSilent || (m_faults.silentAfter && exchange >= *m_faults.silentAfter) ||
        m_faults.silentCodes.contains(code)) {
        plan.bSilent = true;
        return plan;
    }
    BYTE type = kSuccess;
    std::vector<BYTE> payload;
    bool known = false;
    if (!request.bChecksumOk) {
        type = kBadRequestStatus;
    } else if (const auto fail = m_faults.failStatus.find(code); fail != m_faults.failStatus.end()) {
        type = fail->second;
    } else {
        payload = Payload(code, known);
        if (!known) type = kUnknownCommandStatus;
    }
    if (const auto cut = m_faults.shortPayload.find(code); cut != m_faults.shortPayload.end()) {
        if (payload.size() > cut->second) payload.resize(cut->second);
    }
    if (m_faults.badTypeCodes.contains(code)) type = kOutsideReplyType;
    std::vector<BYTE> frame = BuildFrame(type, std::move(payload));
    bool corrupt = m_faults.badChecksumCodes.contains(code);
    if (m_faults.dBadChecksumRate > 0.0) {
        std::bernoulli_distribution draw(m_faults.dBadChecksumRate > 1.0 ? 1.0 : m_faults.dBadChecksumRate);
        corrupt = draw(m_random) || corrupt;
    }
    if (corrupt) frame.back() ^= 0xFF;
    plan.bytes = Prefix();
    plan.bytes.insert(plan.bytes.end(), frame.begin(), frame.end());
    if (m_faults.strayAfterCodes.contains(code)) {
        const std::vector<BYTE> stray = BuildFrame(kSuccess, {});
        plan.bytes.insert(plan.bytes.end(), stray.begin(), stray.end());
    }
    plan.nDelayMs = m_faults.nReplyDelayMs;
    plan.nByteDelayUs = m_faults.nByteDelayUs;
    return plan;
}

}  // namespace rk9sim
