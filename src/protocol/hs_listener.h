#pragma once
// CHSListener: the receive side of the protocol engine. Its one receive thread reads the link, finds
// frames and hands each reply to the engine's received-frame slot and each notification to the handler
// of its channel. Created, started and destroyed by CHSProtocol (on the owner's thread); the engine
// thread sets m_bAbort. The receive thread is the only reader of the link and of the frame block.
#include <atomic>
#include <memory>

#include "platform/threads/sync.h"
#include "platform/win_types.h"

class CHSProtocol;

class CHSListener {
public:
    explicit CHSListener(CHSProtocol* protocol);
    // Stops the receive thread if it runs; never waits on a slot nobody will empty.
    virtual ~CHSListener();
    CHSListener(const CHSListener&) = delete;
    CHSListener& operator=(const CHSListener&) = delete;

    // Starts the receive thread; false when the platform refuses it (or the block is missing).
    bool Start();
    // Thread procedure; the parameter is the listener. Returns 0, or -1 for a null parameter.
    static UINT ReceiveThread(void* param);

    const int m_nBufSize = 256;
    std::unique_ptr<BYTE[]> m_pBuf;  // the frame body being received
    CHSProtocol* const m_pProtocol;  // not owned
    bool m_bReady = false;           // the frame block exists; no thread is started without it
    std::atomic<bool> m_bStop{false};
    FinishedFlag m_bFinished;
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bAbort{false};  // set by the engine thread: drop the frame being received

private:
    void Run();
    // Gathers w bytes (clipped to the room r) into dest. True when they all arrived; false when the
    // thread is to stop or, when `abortable`, the frame was aborted.
    bool ReadBytes(int w, BYTE* dest, int r, bool abortable = true);
    void DeliverNotification(int length);
    void BackOffAfterFailedRead();

    InterruptibleSleep m_backoff;  // pause after a failing Read; cut short by the destructor
    DWORD m_nBackoffMs = 0;        // 0 while reads succeed; grows while the device keeps failing
};
