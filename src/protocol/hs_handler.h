#pragma once
// CHSHandler: the mailbox of one notification channel. The receive thread puts each 'W' frame body of
// the channel into it; the handler's owner consumes it by the CBuffer consumer rule. Owned by whoever
// registers it in the engine's handler table, and must outlive that engine.
#include "protocol/buffer.h"

class CHSHandler : public CBuffer {
public:
    explicit CHSHandler(int channel = 0) : m_nChannel(channel) {}
    int m_nChannel;  // 0 to 63
};
