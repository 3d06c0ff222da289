#pragma once
// The session core as the CLI uses it: the engine gets the CLI's reply time-out. Main thread.
#include "app/session/quarvel_session.h"

class CCliSession : public CQuarvelSession {
public:
    explicit CCliSession(DWORD replyTimeoutMs) : m_nReplyTimeout(replyTimeoutMs) {}
    ~CCliSession() override;

protected:
    CHSProtocolApp* CreateEngine(CInterface* port) override;

private:
    DWORD m_nReplyTimeout;
};
