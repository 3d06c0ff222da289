#pragma once
// One COM port opened as the probe opens it, for a device that appeared after the probe had run. A device
// another program holds counts as busy and is not opened. Caller's thread; the caller owns the result.
#include <memory>

#include "platform/serial/serial_device.h"
#include "serial/modem.h"

// The open port at 9600 bits per second, or null with the reason in *openError (a Windows-style code:
// ERROR_SHARING_VIOLATION for a device held elsewhere).
std::unique_ptr<CModem> ProbeOnePort(int port, DWORD readTimeoutMs, const SerialDeviceFactory& factory,
                                     DWORD* openError);
