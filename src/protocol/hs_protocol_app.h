#pragma once
// CHSProtocolApp: the protocol engine specialised for the tool's command set: the wider set of command
// codes and one blocking read operation per command, each returning the reply's status byte. Output
// arguments are written only when the status is 'Z'. Any thread may call the operations (the request
// lock serialises them with each other and with the keep-alive); owned like CHSProtocol by the session.
// Construct it like a CHSProtocol and read m_bStarted afterwards: its constructor starts the workers
// as its last act, so they see these overrides.
#include "protocol/hs_protocol.h"

class CHSProtocolApp : public CHSProtocol {
public:
    // Buffer sizes of the text operations, in UTF-16 code units including the terminating NUL.
    static constexpr int CONTROLLER_SERIAL_UNITS = ::CONTROLLER_SERIAL_UNITS;
    static constexpr int TOOL_SERIAL_UNITS = ::TOOL_SERIAL_UNITS;
    static constexpr int FIRMWARE_VERSION_UNITS = ::FIRMWARE_VERSION_UNITS;
    static constexpr int TOOL_MODEL_UNITS = ::TOOL_MODEL_UNITS;
    // The shortest 'a' payload that holds all seven fields.
    static constexpr int CYCLE_DATA_BYTES = 18;

    explicit CHSProtocolApp(CInterface* link, DWORD timeoutMs = DEFAULT_REPLY_TIMEOUT_MS);
    ~CHSProtocolApp() override;

    // "abcdefghijklmn" and the base set "ABCDEFGHMNOPQRST": 30 codes.
    bool IsCommand(int code) const override;
    // The base reply types, 'Z' and 0xA5 to 0xB1; nothing is added.
    bool IsReply(int type) const override;

    // 'a': cycle counter, total counter, stop position, force, cycle flags, force divisor, force factor.
    // A payload shorter than 18 bytes gives STATUS_BAD_REPLY with every output untouched.
    int GetCycleData(DWORD* cycleCounter, DWORD* totalCounter, DWORD* position, DWORD* force, DWORD* flags,
                     DWORD* forceDivisor, DWORD* forceFactor);
    // Texts: converted from the thread's ANSI code page, cut to the buffer and always NUL-terminated. The
    // buffers are arrays of exactly the text's size, so a caller with a wrong one does not compile.
    int GetControllerSerial(char16_t (&buffer)[CONTROLLER_SERIAL_UNITS]);
    int GetToolSerial(char16_t (&buffer)[TOOL_SERIAL_UNITS]);
    int GetFirmwareVersion(char16_t (&buffer)[FIRMWARE_VERSION_UNITS]);
    int GetToolModel(char16_t (&buffer)[TOOL_MODEL_UNITS]);

protected:
    // For classes derived from this one: builds without starting the workers (see CHSProtocol).
    CHSProtocolApp(CInterface* link, DWORD timeoutMs, DeferStart);

private:
    int GetText(BYTE code, char16_t* buffer, int capacity);
};
