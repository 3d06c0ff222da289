#include "protocol/hs_protocol_app.h"

#include <algorithm>
#include <cstring>

#include "platform/text/code_page.h"

namespace {
// Little-endian unsigned fields of a reply payload, widened with zeros.
DWORD Read8(const BYTE* p) { return p[0]; }
DWORD Read16(const BYTE* p) { return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8); }
DWORD Read32(const BYTE* p) { return Read16(p) | (Read16(p + 2) << 16); }
}  // namespace

CHSProtocolApp::CHSProtocolApp(CInterface* link, DWORD timeoutMs)
    : CHSProtocol(link, timeoutMs, DeferStart{}) {
    StartWorkers();
}

CHSProtocolApp::CHSProtocolApp(CInterface* link, DWORD timeoutMs, DeferStart)
    : CHSProtocol(link, timeoutMs, DeferStart{}) {}

// The workers call this class's overrides, so they are stopped before this part of the object goes.
CHSProtocolApp::~CHSProtocolApp() { Shutdown(); }

bool CHSProtocolApp::IsCommand(int code) const {
    const BYTE c = static_cast<BYTE>(code);
    return (c >= 'a' && c <= 'n') || CHSProtocol::IsCommand(c);
}

bool CHSProtocolApp::IsReply(int type) const { return CHSProtocol::IsReply(type); }

int CHSProtocolApp::GetCycleData(DWORD* cycleCounter, DWORD* totalCounter, DWORD* position, DWORD* force,
                                 DWORD* flags, DWORD* forceDivisor, DWORD* forceFactor) {
    return Exchange(CMD_CYCLE_DATA, [&](const BYTE* body, int length) -> int {
        if (length - 3 < CYCLE_DATA_BYTES) return STATUS_BAD_REPLY;
        const BYTE* payload = body + 2;
        *cycleCounter = Read16(payload + 0);
        *totalCounter = Read32(payload + 2);
        *position = Read16(payload + 6);
        *force = Read16(payload + 8);
        *flags = Read8(payload + 12);
        *forceDivisor = Read16(payload + 14);
        *forceFactor = Read16(payload + 16);
        return STATUS_OK;
    });
}

int CHSProtocolApp::GetControllerSerial(char16_t (&buffer)[CONTROLLER_SERIAL_UNITS]) {
    return GetText(CMD_CONTROLLER_SERIAL, buffer, CONTROLLER_SERIAL_UNITS);
}
int CHSProtocolApp::GetToolSerial(char16_t (&buffer)[TOOL_SERIAL_UNITS]) {
    return GetText(CMD_TOOL_SERIAL, buffer, TOOL_SERIAL_UNITS);
}
int CHSProtocolApp::GetFirmwareVersion(char16_t (&buffer)[FIRMWARE_VERSION_UNITS]) {
    return GetText(CMD_FIRMWARE_VERSION, buffer, FIRMWARE_VERSION_UNITS);
}
int CHSProtocolApp::GetToolModel(char16_t (&buffer)[TOOL_MODEL_UNITS]) {
    return GetText(CMD_TOOL_MODEL, buffer, TOOL_MODEL_UNITS);
}

int CHSProtocolApp::GetText(BYTE code, char16_t* buffer, int capacity) {
    return Exchange(code, [&](const BYTE* body, int length) -> int {
        // The text ends at its NUL, or at the end of the payload when the tool sent none; never in the
        // checksum or in stale bytes of the slot.
        const char* text = reinterpret_cast<const char*>(body + 2);
        const int payload = std::max(length - 3, 0);
        const int bytes = static_cast<int>(std::find(text, text + payload, '\0') - text);
        char16_t wide[MAX_FRAME_BODY] = {};
        // Bytes the code page leaves undefined are kept (code_page.h); only an unknown code page gives an
        // empty text.
        const int units =
            bytes == 0 ? 0 : MultiByteToWideChar(CP_THREAD_ACP, 0, text, bytes, wide, MAX_FRAME_BODY);
        int kept = std::min(units, capacity - 1);
        // A cut between the two halves of a surrogate pair (a character beyond U+FFFF, possible in a
        // multi-byte code page) would leave an invalid text: the whole character goes then.
        if (kept > 0 && kept < units && wide[kept - 1] >= 0xD800 && wide[kept - 1] <= 0xDBFF) --kept;
        std::copy(wide, wide + kept, buffer);
        buffer[kept] = u'\0';
        return STATUS_OK;
    });
}
