#pragma once
// CTraceLink: a CInterface that wraps another link and reports every frame it carries, in both
// directions, as hex with a millisecond timestamp. It owns the wrapped link. Threads: as for any
// CInterface (Read on the receive thread, Write on the engine thread); the line sink is called under
// the link's own output lock, so it may be shared by both directions.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/interface.h"

class CTraceLink : public CInterface {
public:
    using LineSink = std::function<void(const std::string& line)>;

    CTraceLink(std::unique_ptr<CInterface> inner, LineSink sink);
    ~CTraceLink() override;

    BOOL SetMode(const char* mode) override;
    BOOL Close() override;
    int CancelRead() override;
    int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) override;
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override;
    std::uint64_t UnreadBytes() override { return m_inner->UnreadBytes(); }

    CInterface& Inner() { return *m_inner; }

private:
    void Emit(const char* direction, const BYTE* data, std::size_t n);
    // Cuts the received byte stream into frames (0x55, type, length, payload, checksum); bytes that
    // cannot start a frame are reported on their own.
    void SplitReceived();

    std::unique_ptr<CInterface> m_inner;
    LineSink m_sink;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_outputMutex;
    std::vector<BYTE> m_rx;  // touched by the receive thread only
};

// "[    12.345 ms] -> 55 44 00 44": elapsed milliseconds, direction, bytes in hex.
std::string FormatTraceLine(double elapsedMs, const char* direction, const BYTE* data, std::size_t n);
