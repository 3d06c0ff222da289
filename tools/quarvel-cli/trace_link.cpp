#include "trace_link.h"

#include <cstdio>

#include "protocol/protocol_codes.h"

namespace {
constexpr BYTE kFrameStart = 0x55;
constexpr std::size_t kFrameOverhead = 4;  // start, type, length, checksum
}  // namespace

CTraceLink::CTraceLink(std::unique_ptr<CInterface> inner, LineSink sink)
    : m_inner(std::move(inner)), m_sink(std::move(sink)), m_start(std::chrono::steady_clock::now()) {
    m_bOpen = m_inner->IsOpen();
}

CTraceLink::~CTraceLink() {
    // Whatever is left of a partial frame is still worth seeing.
    if (!m_rx.empty()) Emit("<-", m_rx.data(), m_rx.size());
}

BOOL CTraceLink::SetMode(const char* mode) { return m_inner->SetMode(mode); }

BOOL CTraceLink::Close() { return m_inner->Close(); }

int CTraceLink::CancelRead() { return m_inner->CancelRead(); }

int CTraceLink::Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) {
    // The engine writes one whole frame per call.
    if (n > 0) Emit("->", data, n);
    return m_inner->Write(n, data, written);
}

int CTraceLink::Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) {
    const int result = m_inner->Read(n, buffer, received);
    if (result != 0 && *received > 0) {
        m_rx.insert(m_rx.end(), buffer, buffer + *received);
        SplitReceived();
    }
    return result;
}

void CTraceLink::SplitReceived() {
    for (;;) {
        std::size_t junk = 0;
        while (junk < m_rx.size() && m_rx[junk] != kFrameStart) ++junk;
        if (junk > 0) {
            Emit("<- (noise)", m_rx.data(), junk);
            m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(junk));
        }
        if (m_rx.size() < 3) return;
        if (m_rx[2] > MAX_PAYLOAD) {
            // The receiver does the same: no frame has such a length; it hunts again after the length byte.
            Emit("<- (dropped: length byte 0x80 or more, outside the frame format)", m_rx.data(), 3);
            m_rx.erase(m_rx.begin(), m_rx.begin() + 3);
            continue;
        }
        const std::size_t frameSize = kFrameOverhead + m_rx[2];
        if (m_rx.size() < frameSize) return;
        Emit("<-", m_rx.data(), frameSize);
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(frameSize));
    }
}

void CTraceLink::Emit(const char* direction, const BYTE* data, std::size_t n) {
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    const double ms = std::chrono::duration<double, std::milli>(elapsed).count();
    const std::string line = FormatTraceLine(ms, direction, data, n);
    std::lock_guard lock(m_outputMutex);
    m_sink(line);
}

std::string FormatTraceLine(double elapsedMs, const char* direction, const BYTE* data, std::size_t n) {
    char head[48];
    std::snprintf(head, sizeof head, "[%10.3f ms] ", elapsedMs);
    std::string line = std::string(head) + direction;
    static const char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < n; ++i) {
        line.push_back(' ');
        line.push_back(kHex[data[i] >> 4]);
        line.push_back(kHex[data[i] & 0x0F]);
    }
    return line;
}
