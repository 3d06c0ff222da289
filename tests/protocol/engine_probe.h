#pragma once
// EngineProbe: a CHSProtocol built the way a derived class must build it (deferred start, workers
// started as the constructor's last act, stopped first in the destructor), with its internals opened up
// for tests. Optionally accepts one extra command code and one extra reply type, which proves that the
// workers see the most-derived overrides. Test thread only.
#include "protocol/hs_protocol.h"

class EngineProbe : public CHSProtocol {
public:
    EngineProbe(CInterface* link, DWORD timeoutMs, int extraCommand = -1, int extraReply = -1)
        : CHSProtocol(link, timeoutMs, DeferStart{}), m_extraCommand(extraCommand), m_extraReply(extraReply) {
        StartWorkers();
    }
    ~EngineProbe() override { Shutdown(); }

    bool IsCommand(int code) const override {
        return (code & 0xFF) == m_extraCommand || CHSProtocol::IsCommand(code);
    }
    bool IsReply(int type) const override {
        return (type & 0xFF) == m_extraReply || CHSProtocol::IsReply(type);
    }

    using CHSProtocol::Shutdown;
    // Hands a request to the engine thread without taking the request lock or the reply.
    void PutRawRequest(BYTE code) {
        const BYTE request[2] = {code, 0x00};
        m_bufRequest.Put(request, 2);
    }
    bool ReplySlotFilled(DWORD timeoutMs) { return m_bufReply.WaitFilled(timeoutMs); }
    bool EngineFinished() const { return m_bEngineFinished.IsSet(); }
    bool KeepAliveFinished() const { return m_bKeepAliveFinished.IsSet(); }

private:
    const int m_extraCommand;
    const int m_extraReply;
};
