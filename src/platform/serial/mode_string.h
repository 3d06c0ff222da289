#pragma once
// Parser for the mode strings the serial port accepts, in the syntax of the Windows BuildCommDCB call:
//   "baud=115200 parity=N data=8 stop=1"   key=value pairs, any order, any subset
//   "9600,n,8,1"                            the short form: baud[,parity[,data[,stop]]]
// Both may start with a device prefix such as "COM3:". Keys and letters are case-insensitive. The two-digit
// speed abbreviations of the old MODE syntax (11, 15, 30, 60, 12, 24, 48, 96, 19) mean 110 ... 19200.
// The flow-control and modem-line keys (xon, to, odsr, octs, idsr, dtr, rts) are accepted and ignored: the
// port never uses flow control and leaves DTR and RTS as the driver sets them.
// Pure function; any thread may call it.
#include "platform/serial/line_settings.h"

// Applies the settings the mode string names to `line` and returns true; settings it does not name keep
// their values. Returns false, leaving `line` unchanged, when the string cannot be parsed as a whole.
bool ParseModeString(const char* mode, LineSettings& line);
