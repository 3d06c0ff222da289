#pragma once
// ReceiverHarness: an engine whose engine and keep-alive threads are never started, so that a test can
// run the receive thread alone and take the frames it delivers from the received-frame slot itself.
// Test thread only (apart from the receive thread it starts).
#include <optional>

#include "protocol/hs_handler.h"
#include "protocol/hs_listener.h"
#include "protocol/hs_protocol.h"
#include "support/scripted_link.h"

class ReceiverHarness : public CHSProtocol {
public:
    explicit ReceiverHarness(CInterface* link) : CHSProtocol(link, 4000, DeferStart{}) {}
    ~ReceiverHarness() override { Shutdown(); }

    // Handlers must be in place before the receive thread starts.
    void RegisterHandler(int slot, CHSHandler* handler) { m_pHandlers[slot] = handler; }
    bool StartReceiver() { return m_pListener->Start(); }
    void Abort() { m_pListener->m_bAbort = true; }
    // Destroys the listener, which stops the receive thread.
    void StopReceiver() { Shutdown(); }

    // The next frame body the receiver put into the received-frame slot, taken out by the consumer rule.
    std::optional<Bytes> NextFrame(DWORD timeoutMs) {
        if (!m_bufReceived.WaitFilled(timeoutMs)) return std::nullopt;
        Bytes body(m_bufReceived.m_pData.get(), m_bufReceived.m_pData.get() + m_bufReceived.m_nLength);
        m_bufReceived.MarkEmpty();
        return body;
    }
};
