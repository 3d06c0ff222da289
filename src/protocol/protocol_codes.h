#pragma once
// Byte values of the tool's wire protocol and the message the keep-alive posts. Constants only;
// any thread may use them.
#include "platform/win_types.h"

// Frame layout: sync, type, length N, N payload bytes, checksum (XOR of type, length and payload).
inline constexpr BYTE SYNC_BYTE = 0x55;                 // 'U'
inline constexpr BYTE NOTIFICATION_TYPE = 0x57;         // 'W'
inline constexpr int MAX_PAYLOAD = 127;                 // a length byte of 0x80 or more is not a frame
inline constexpr int MAX_FRAME_BODY = MAX_PAYLOAD + 3;  // type, length, payload, checksum
inline constexpr int CHANNEL_MASK = 0x3F;  // notification channel: low six bits of payload byte 0

// Status bytes. 'Z' is success; 0xA5 to 0xB1 are failures, from the tool or made by the engine.
inline constexpr BYTE STATUS_OK = 0x5A;  // 'Z'
inline constexpr BYTE STATUS_FAILURE_FIRST = 0xA5;
inline constexpr BYTE STATUS_FAILURE_LAST = 0xB1;
inline constexpr BYTE STATUS_REFUSED = 0xA5;    // code not accepted by IsCommand; nothing sent
inline constexpr BYTE STATUS_BAD_REPLY = 0xA6;  // checksum wrong, or payload too short for its layout
inline constexpr BYTE STATUS_NO_REPLY = 0xAA;   // no reply within the engine's time-out

// Command codes the system sends.
inline constexpr BYTE CMD_ATTACH = 'A';
inline constexpr BYTE CMD_DEVICE_INFO = 'D';
inline constexpr BYTE CMD_KEEP_ALIVE = 'H';
inline constexpr BYTE CMD_CYCLE_DATA = 'a';
inline constexpr BYTE CMD_CONTROLLER_SERIAL = 'c';
inline constexpr BYTE CMD_TOOL_SERIAL = 'e';
inline constexpr BYTE CMD_FIRMWARE_VERSION = 'g';
inline constexpr BYTE CMD_TOOL_MODEL = 'h';

// The tool's four texts, in UTF-16 code units including the terminating NUL: the buffers of the text
// commands and of the record that keeps them, defined once (the commands take arrays of these sizes).
inline constexpr int CONTROLLER_SERIAL_UNITS = 15;
inline constexpr int TOOL_SERIAL_UNITS = 21;
inline constexpr int FIRMWARE_VERSION_UNITS = 23;
inline constexpr int TOOL_MODEL_UNITS = 20;

// Posted by the keep-alive thread to the main window when the tool stops answering (wParam, lParam 0).
inline constexpr UINT WM_LINK_LOST = 0x801;

// The engine's default reply time-out in milliseconds.
inline constexpr DWORD DEFAULT_REPLY_TIMEOUT_MS = 4000;
