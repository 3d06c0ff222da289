#include "cli_session.h"

#include "protocol/hs_protocol_app.h"

CCliSession::~CCliSession() = default;

CHSProtocolApp* CCliSession::CreateEngine(CInterface* port) {
    return new CHSProtocolApp(port, m_nReplyTimeout);
}
