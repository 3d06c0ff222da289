#pragma once
// ToolStreamLink: the in-memory byte link the engine fuzz target runs on. The fuzzer's input plays the tool:
// each request the engine writes releases the next scripted answer into the stream the receiver reads, so a
// reply can only come after its request, as on the wire; leftovers of earlier answers stay in the stream.
// Read behaves like the serial port (blocks until bytes, a CancelRead or the total read time-out), and may
// hand the bytes out in small chunks to split frames across reads.
// Write returns only once the receiver has taken every released byte and waits in Read again (or after a
// short bound, for a receiver held up elsewhere): whatever frame the answer completes is then already in the
// engine's received slot, so the exchange ends at once, and the engine can run with a reply time-out of 0 --
// an exchange whose input is exhausted without a reply ends without waiting.
// Threads: the receive thread reads, the engine thread writes, the fuzz target scripts and inspects.
// Owned by the fuzz target; outlives the engine built on it.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "serial/interface.h"

class ToolStreamLink : public CInterface {
public:
    // maxChunk: most bytes one Read hands out (0: no limit).
    explicit ToolStreamLink(std::uint32_t maxChunk);

    // The answer the next written request releases; a request that is never written releases nothing.
    void SetNextAnswer(std::vector<BYTE> answer);
    // Every byte released so far, in order (the receiver can have seen no other).
    std::vector<BYTE> Released() const;
    // Every byte the engine wrote, in order.
    std::vector<BYTE> Written() const;

    BOOL SetMode(const char* mode) override;
    BOOL Close() override;
    int CancelRead() override;
    int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) override;
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    const std::uint32_t m_nMaxChunk;
    std::vector<BYTE> m_nextAnswer;
    std::vector<BYTE> m_released;
    std::size_t m_nReadPos = 0;
    bool m_bReaderWaiting = false;  // the receiver waits in Read with every released byte taken
    std::vector<BYTE> m_written;
    bool m_bCancelPending = false;
};
