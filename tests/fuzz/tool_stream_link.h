#pragma once
// ToolStreamLink: the in-memory byte link the engine fuzz target runs on. The fuzzer's input plays the tool:
// each request the engine writes releases the next scripted answer into the stream the receiver reads, so a
// reply can only come after its request, as on the wire; leftovers of earlier answers stay in the stream.
// Read behaves like the serial port (blocks until bytes, a CancelRead or the total read time-out), and may
// hand the bytes out in small chunks to split frames across reads.
// Write returns only once the receiver has taken every released byte and waits in Read again (or once it
// has not called Read for a short bound, being held up elsewhere): whatever frame the answer completes is
// then already in the engine's received slot, so the exchange ends at once, and the engine can run with a
// reply time-out of 0 -- an exchange whose input is exhausted without a reply ends without waiting. Between
// inputs the fuzz target asks where the idle receiver waits, can end that read as a time-out, and rewinds the
// link to empty streams for the next input (see EngineRig). Threads: the receive thread reads, the engine
// thread writes, the fuzz target scripts and inspects. Owned by the fuzz target; outlives the engine built on
// it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "protocol/interface.h"

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
    // Some Write since the last Rewind gave up waiting for the receiver: what the engine found then
    // depended on scheduling, not on the input alone.
    bool HandOverLate() const;

    // Waits until the receiver waits in Read with every released byte taken: true then, with the
    // destination and size of that Read. False once the receiver has not called Read for `stall` (held up
    // elsewhere, or not scheduled).
    bool WaitReaderIdle(std::chrono::microseconds stall, const BYTE** place, std::uint32_t* wanted);
    // Ends the Read the idle receiver waits in as a read time-out (nothing received), as the port does when
    // its time-out passes. False when the receiver is not waiting in Read.
    bool ExpireRead();
    // Starts the next input: no answer, both streams empty, a new chunk limit. Only while the receiver is
    // idle (WaitReaderIdle true) and no request is being written.
    void Rewind(std::uint32_t maxChunk);

    BOOL SetMode(const char* mode) override;
    BOOL Close() override;
    int CancelRead() override;
    int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) override;
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override;

private:
    bool ReaderIdle() const { return m_bReaderWaiting && m_nReadPos == m_released.size(); }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::uint32_t m_nMaxChunk;
    std::vector<BYTE> m_nextAnswer;
    std::vector<BYTE> m_released;
    std::size_t m_nReadPos = 0;
    bool m_bReaderWaiting = false;       // the receiver waits in Read with every released byte taken
    const BYTE* m_pWaitPlace = nullptr;  // destination and size of that Read
    std::uint32_t m_nWaitWanted = 0;
    bool m_bExpire = false;  // the waiting Read is to end as a read time-out
    bool m_bHandOverLate = false;
    std::uint64_t m_nReads = 0;  // Read calls so far: the receiver's progress
    std::vector<BYTE> m_written;
    bool m_bCancelPending = false;
};
