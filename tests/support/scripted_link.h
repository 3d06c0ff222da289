#pragma once
// ScriptedLink: an in-memory CInterface that plays a scripted tool, for unit tests and benchmarks.
//
// Tool side: every complete frame the engine writes is parsed; its code is looked up in the reply table
// (SetReply) or handed to a responder callback (SetResponder), and the resulting bytes are queued for
// the receiver. No entry, an empty result or SetSilent(true) means the tool stays silent. Feed() queues
// any bytes directly (garbage, partial frames, late replies).
//
// Read behaves like the serial port: it blocks on a condition variable until n bytes (or, with
// SetMaxChunk(k), k bytes) are there, a CancelRead wake-up arrives, or the total read time-out of
// n x 1 ms + T passes (T from SetReadTimeout); a wake-up with no waiter ends the next Read at once.
// SetFailReads(code) makes every Read fail at once with that code, like a device that has vanished.
//
// Thread-safe: the receive thread reads, the engine thread writes, the test thread scripts and inspects.
// Owned by the test; it must outlive the engine built on it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "protocol/interface.h"

using Bytes = std::vector<BYTE>;
using Clock = std::chrono::steady_clock;

// A complete frame: 0x55, type, length, payload, XOR checksum of type, length and payload.
Bytes MakeFrame(BYTE type, const Bytes& payload = {});
// The frame body the receiver hands on: the frame without its sync byte.
Bytes MakeBody(BYTE type, const Bytes& payload = {});

struct WriteRecord {
    Clock::time_point when;
    Bytes bytes;
};

class ScriptedLink : public CInterface {
public:
    using Responder = std::function<Bytes(BYTE code)>;

    ScriptedLink();
    ~ScriptedLink() override;

    // --- the scripted tool ---
    void SetReply(BYTE code, Bytes frameBytes);
    void ClearReplies();
    void SetResponder(Responder responder);  // overrides the table while set; pass {} to remove
    void SetSilent(bool silent);
    void Feed(const Bytes& bytes);
    void SetMaxChunk(std::uint32_t maxBytesPerRead);  // 0: no limit
    void SetReadTimeout(DWORD totalConstantMs);       // T of the total read time-out
    void SetFailReads(int errorCode);                 // 0: reads work again

    // --- what happened ---
    std::vector<WriteRecord> Writes() const;
    Bytes WrittenBytes() const;
    std::vector<BYTE> RequestCodes() const;  // code of every frame written, in order
    int CountRequests(BYTE code) const;
    std::uint64_t ReadCalls() const;
    int CancelCalls() const;
    std::size_t PendingInput() const;
    // Each waits at most timeoutMs; false when the condition did not come true in time.
    bool WaitForRequests(BYTE code, int count, DWORD timeoutMs) const;
    bool WaitForWriteCount(std::size_t count, DWORD timeoutMs) const;
    // A thread is blocked in Read asking for exactly n bytes (n = 1: the receiver is hunting).
    bool WaitForPendingRead(std::uint32_t n, DWORD timeoutMs) const;
    // Every fed byte has been taken by a Read.
    bool WaitUntilDrained(DWORD timeoutMs) const;

    // --- CInterface ---
    BOOL SetMode(const char* mode) override;
    BOOL Close() override;
    int CancelRead() override;
    int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) override;
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override;
    std::uint64_t UnreadBytes() override { return PendingInput(); }

private:
    Bytes Answer(BYTE code);
    void ParseWrittenFrames(std::vector<BYTE>& codes);
    template <class Pred>
    bool WaitFor(DWORD timeoutMs, Pred pred) const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::deque<BYTE> m_input;
    std::map<BYTE, Bytes> m_replies;
    Responder m_responder;
    bool m_silent = false;
    std::uint32_t m_maxChunk = 0;
    DWORD m_readTimeoutMs = 50;
    int m_failCode = 0;
    bool m_cancelPending = false;
    int m_cancelCalls = 0;
    std::uint64_t m_readCalls = 0;
    std::uint32_t m_pendingReadSize = 0;  // 0: nobody is in Read
    std::vector<WriteRecord> m_writes;
    Bytes m_unparsed;  // written bytes not yet forming a whole frame
    std::vector<BYTE> m_requestCodes;
};
