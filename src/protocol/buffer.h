#pragma once
// CBuffer: a one-slot mailbox that hands one message (at most 256 bytes) from a producer thread to a
// consumer thread. One producer and one consumer at a time; competing producers are serialised by the
// caller. Owned by the protocol engine (its three slots) or by whoever registers a notification handler;
// destroyed only when no thread can still wait on it.
//
// Consumer rule: WaitFilled, read m_pData[0 .. m_nLength) directly, then MarkEmpty. Between a successful
// WaitFilled and MarkEmpty no producer touches the block.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/threads/sync.h"
#include "platform/win_types.h"

class CBuffer {
public:
    CBuffer();
    virtual ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;

    // Waits until the slot is free, then copies the message in and marks it filled. Never copies more
    // than the block holds: n is clipped to 0 .. m_nSize.
    void Put(const BYTE* data, int n);
    // As Put, but gives up (false, slot untouched) when `stop` is set and WakeWaiters() is called. The
    // message carries `tag`, which the consumer reads as m_nTag.
    bool PutUnless(const BYTE* data, int n, const std::atomic<bool>& stop, std::uint64_t tag = 0);
    // True when a message is there; false when the time-out passed, the slot then unchanged.
    bool WaitFilled(DWORD timeoutMs);
    // As WaitFilled, but also gives up (false) once `stop` is set and WakeWaiters() is called.
    bool WaitFilledUnless(const std::atomic<bool>& stop, DWORD timeoutMs = INFINITE);
    void MarkEmpty();
    // MarkEmpty then Put: never blocks when this is the only producer; a waiting message is replaced.
    void ForcePut(const BYTE* data, int n);
    // Lets every PutUnless / WaitFilledUnless waiter look at its stop flag again. Set the flag first.
    void WakeWaiters();

    std::unique_ptr<BYTE[]> m_pData;  // the message bytes, from the start of the block
    const int m_nSize = 256;          // block size; the block never grows
    int m_nLength = 0;                // bytes of the current message; bytes past it are stale
    std::uint64_t m_nTag = 0;         // the producer's tag of the current message (0 from Put)

private:
    void CopyIn(const BYTE* data, int n, std::uint64_t tag);

    BinarySemaphore m_semFree{true};
    BinarySemaphore m_semFilled{false};
    CriticalSection m_lock;
};
