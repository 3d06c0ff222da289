#pragma once
// A scripted RK-9 for the session tests: the replies of one tool profile put into a ScriptedLink.
#include <string>

#include "protocol/protocol_codes.h"
#include "support/scripted_link.h"

struct SessionToolProfile {
    Bytes model = {'R', 'K', '-', '9', 0, 0, 0, 0};  // 'D' bytes 0-7
    BYTE flags = 0;                                  // 'D' byte 14
    DWORD cycle = 152, total = 873, position = 250, force = 300, cycleFlags = 5, divisor = 2, factor = 3;
    std::string controller = "C-981", toolSerial = "T-417", firmware = "1.04", toolModel = "RK-9 Crimp";
};

inline Bytes TextPayload(const std::string& text) {
    Bytes payload(text.begin(), text.end());
    payload.push_back(0);
    return payload;
}

inline void PutLe(Bytes& b, std::size_t at, DWORD value, int width) {
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<BYTE>(value >> (8 * i));
}

inline void ScriptTool(ScriptedLink& link, const SessionToolProfile& p) {
    Bytes info(16, 0);
    for (std::size_t i = 0; i < p.model.size() && i < 8; ++i) info[i] = p.model[i];
    info[14] = p.flags;
    Bytes cycle(18, 0);
    PutLe(cycle, 0, p.cycle, 2);
    PutLe(cycle, 2, p.total, 4);
    PutLe(cycle, 6, p.position, 2);
    PutLe(cycle, 8, p.force, 2);
    PutLe(cycle, 12, p.cycleFlags, 1);
    PutLe(cycle, 14, p.divisor, 2);
    PutLe(cycle, 16, p.factor, 2);
    link.ClearReplies();
    link.SetReply(CMD_DEVICE_INFO, MakeFrame(STATUS_OK, info));
    link.SetReply(CMD_ATTACH, MakeFrame(STATUS_OK));
    link.SetReply(CMD_KEEP_ALIVE, MakeFrame(STATUS_OK));
    link.SetReply(CMD_CYCLE_DATA, MakeFrame(STATUS_OK, cycle));
    link.SetReply(CMD_CONTROLLER_SERIAL, MakeFrame(STATUS_OK, TextPayload(p.controller)));
    link.SetReply(CMD_TOOL_SERIAL, MakeFrame(STATUS_OK, TextPayload(p.toolSerial)));
    link.SetReply(CMD_FIRMWARE_VERSION, MakeFrame(STATUS_OK, TextPayload(p.firmware)));
    link.SetReply(CMD_TOOL_MODEL, MakeFrame(STATUS_OK, TextPayload(p.toolModel)));
}

// A failure status from the tool for one command.
inline void FailCommand(ScriptedLink& link, BYTE code, BYTE status = 0xA7) {
    link.SetReply(code, MakeFrame(status));
}
