#pragma once
// CHSProtocol: the protocol engine on one open byte link. Calling threads (the session thread and the
// engine's own keep-alive thread) run blocking exchanges that return a status byte ('Z' is success);
// the engine runs three workers: the receive thread (CHSListener), the engine thread (frames requests,
// waits for the reply, checks it) and the keep-alive thread. Owned by the connection session, which
// builds and destroys it on its own thread and destroys the link only after the engine.
//
// Start mechanism. The workers call the virtual tests IsCommand / IsReply, so they must not run before
// the most-derived object is complete. Construction therefore never starts a worker by itself except in
// the public constructor of a plain CHSProtocol, where this class is the most-derived one. A derived class
// builds its base with the protected DeferStart constructor and calls StartWorkers() as the last act of
// its own constructor; its destructor calls Shutdown() first, so that no worker still runs while the
// derived part is being destroyed. Either way the owner reads m_bStarted right after construction.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/threads/placement.h"
#include "platform/threads/sync.h"
#include "platform/win_types.h"
#include "protocol/buffer.h"
#include "protocol/protocol_codes.h"

class CInterface;
class CHSListener;
class CHSHandler;

class CHSProtocol {
public:
    // Builds the engine on an open link and starts its workers.
    explicit CHSProtocol(CInterface* link, DWORD timeoutMs = DEFAULT_REPLY_TIMEOUT_MS);
    virtual ~CHSProtocol();
    CHSProtocol(const CHSProtocol&) = delete;
    CHSProtocol& operator=(const CHSProtocol&) = delete;

    // Only the low 8 bits of the argument count; both are false for 0.
    virtual bool IsCommand(int code) const;  // "ABCDEFGHMNOPQRST"
    virtual bool IsReply(int type) const;    // 'Z' and 0xA5 to 0xB1

    // One exchange with no payload; returns the reply's status byte.
    int SendCommand(BYTE code);
    // 'D': on 'Z' copies payload bytes 0 to 15 into the 16-byte record; a shorter payload gives
    // STATUS_BAD_REPLY and leaves the record untouched.
    int GetDeviceInfo(BYTE* record);
    // Sets the pause between keep-alive exchanges and lets the keep-alive thread start polling.
    void StartKeepAlive(DWORD intervalMs);
    // Ends the exchange a calling thread waits in, and every later one, at once with STATUS_NO_REPLY:
    // the owner's way to cut a session short (the program ends) without waiting out reply time-outs.
    // The keep-alive is not affected. Any thread; the engine must outlive the call.
    void CancelCallers();

    static UINT EngineThread(void* param);
    static UINT KeepAliveThread(void* param);

    // All three workers were started; read by the owner after construction.
    std::atomic<bool> m_bStarted{false};
    // The processor the workers started together on; -1 when the system placed them from the start.
    int WorkerProcessor() const { return m_placement ? m_placement->Processor() : -1; }

protected:
    struct DeferStart {};
    // For derived classes: builds everything but starts no worker (see the start mechanism above).
    CHSProtocol(CInterface* link, DWORD timeoutMs, DeferStart);
    // Starts the receive, engine and keep-alive threads and sets m_bStarted; runs once.
    void StartWorkers();
    // Stops keep-alive, receiver, engine thread, in that order; a second run does nothing.
    void Shutdown();

    // Runs one exchange on the calling thread. On 'Z', decode(body, length) reads the reply while it is
    // still in the reply slot and returns the status to report ('Z', or STATUS_BAD_REPLY when the
    // payload does not fit its layout).
    template <class Decode>
    int Exchange(BYTE code, Decode&& decode) {
        int status = BeginExchange(code, m_bCallersCancel);
        if (status == kCancelled) return STATUS_NO_REPLY;  // no engine thread to answer
        if (status == STATUS_OK)
            status = decode(static_cast<const BYTE*>(m_bufReply.m_pData.get()), m_bufReply.m_nLength);
        EndExchange();
        return status;
    }

    CBuffer m_bufRequest;   // calling thread -> engine thread: code, 0x00 (the checksum is added on sending)
    CBuffer m_bufReceived;  // receive thread -> engine thread: a frame body
    CBuffer m_bufReply;     // engine thread -> calling thread: a frame body, real or synthetic
    BinarySemaphore m_semRequest{true};  // held by a calling thread for a whole exchange
    std::atomic<bool> m_bEngineRunning{false};
    std::atomic<bool> m_bEngineStop{false};
    FinishedFlag m_bEngineFinished;
    CHSListener* m_pListener = nullptr;  // owned; null once destroyed; guarded by m_csListener
    CInterface* const m_pInterface;      // not owned
    // Bytes the receive thread has taken from the link. It tags each frame with the number of the frame's
    // sync byte in this count; before writing a request the engine takes this count plus the bytes that
    // wait unread on the link, and a frame tagged below that began before the request and is not its reply.
    std::atomic<std::uint64_t> m_nBytesReceived{0};
    const DWORD m_nTimeout;           // reply time-out, milliseconds
    CHSHandler* m_pHandlers[8] = {};  // notification handlers, not owned; fixed before the workers start
    // Where the workers start together (the scheduler keeps them there while it is free); made before they
    // start.
    std::unique_ptr<CThreadGroupPlacement> m_placement;
    DWORD m_nKeepAliveInterval = 0;  // guarded by m_csKeepAlive
    CriticalSection m_csKeepAlive;
    ManualResetEvent m_evKeepAlive;  // set by StartKeepAlive or Shutdown, never reset
    std::atomic<bool> m_bKeepAliveRunning{false};
    std::atomic<bool> m_bKeepAliveStop{false};
    FinishedFlag m_bKeepAliveFinished;

private:
    friend class CHSListener;
    static constexpr int kCancelled = -1;
    std::atomic<bool> m_bCallersCancel{false};  // the calling threads' stop flag (CancelCallers)

    // Steps 1 to 3 of an exchange: takes the request lock, hands over the request, waits for the reply.
    // Returns the reply's status with the lock held, or kCancelled (lock not held) once `cancel` is set
    // or when the engine thread is not there to answer.
    int BeginExchange(BYTE code, const std::atomic<bool>& cancel);
    void EndExchange();
    void RunEngine();
    // Waits up to m_nTimeout for a frame whose sync byte is byte number `replyFrom` or later, emptying
    // the slot of every frame that began before (a late reply, a stray one).
    bool WaitForReply(std::uint64_t replyFrom);
    void RunKeepAlive();
    // Puts the body status, 0x00, status into the reply slot; false when the engine is stopping.
    bool PutSyntheticReply(BYTE status);
    void AbortPartialFrame();

    std::unique_ptr<BYTE[]> m_pTransmit;  // the engine thread's transmit block, allocated before it starts
    std::mutex m_csListener;              // the engine thread's abort against Shutdown's destruction
    InterruptibleSleep m_keepAliveSleep;
    bool m_bStartAttempted = false;
};
