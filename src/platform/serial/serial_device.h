#pragma once
// ISerialDevice: one serial device (a tty) with the calls the serial port CModem needs: exclusive open in raw
// 8N1 without flow control, line settings, purge, a read with a total time-out that CancelRead can end, a
// write that never blocks the caller, the break condition and close.
// Threads: while open, one thread reads, one thread writes and any thread may call CancelRead; Open, the line
// settings, Purge, SetBreak and Close run on the owner's thread while no other thread uses the device.
// Owned by the CModem that obtained it from its SerialDeviceFactory.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/serial/line_settings.h"
#include "platform/win_types.h"

struct DeviceReadResult {
    enum class Outcome { Data, Cancelled, Failed };
    Outcome eOutcome = Outcome::Data;
    std::uint32_t nReceived = 0;  // bytes placed in the buffer (Data only)
    DWORD nError = 0;             // Windows-style error code (Failed only)
};

class ISerialDevice {
public:
    virtual ~ISerialDevice() = default;

    // Opens `path` exclusively, saves its terminal settings and switches it to raw 8N1 without flow control.
    // Returns 0, or why not: ERROR_FILE_NOT_FOUND (no such device, or no hardware behind it),
    // ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION (held by another program), ERROR_NOT_SUPPORTED (not a
    // terminal), ERROR_GEN_FAILURE (anything else).
    virtual DWORD Open(const std::string& path) = 0;
    virtual bool GetLine(LineSettings& line) = 0;
    // False when the driver refuses the settings; the line then keeps what it had.
    virtual bool SetLine(const LineSettings& line) = 0;
    // Drops whatever waits in either direction, including bytes queued by Write.
    virtual bool Purge() = 0;
    // Waits until `n` bytes have arrived or `timeoutMs` has passed (Data, with what arrived), a CancelRead
    // (Cancelled) or a failure of the device, such as a hang-up (Failed). Bytes that arrived before a
    // failure or a cancel are returned first as Data; the failure or cancel ends the next Read at once.
    virtual DeviceReadResult Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) = 0;
    // Ends the Read in progress, or the next one when nobody waits. True when the wake-up was delivered.
    virtual bool CancelRead() = 0;
    // Bytes that have arrived and no Read has taken yet (driver queue and read-ahead); any thread, while
    // the device is open. 0 when it cannot tell.
    virtual std::uint64_t UnreadBytes() { return 0; }
    // Takes all n bytes without blocking: what the driver does not accept at once is queued and drained in
    // the background, in order. False when the device has failed or is closed.
    virtual bool Write(std::uint32_t n, const BYTE* data) = 0;
    virtual bool SetBreak() = 0;
    // The driver's low-latency mode (ASYNC_LOW_LATENCY: the FTDI driver then hands small replies on after
    // 1 ms instead of its 16 ms latency timer). GetLowLatency is false when the driver has no such setting
    // (pseudo-terminals, CDC ACM); SetLowLatency is false when the driver refuses. A device without the
    // setting keeps these defaults.
    virtual bool GetLowLatency(bool& on) {
        (void)on;
        return false;
    }
    virtual bool SetLowLatency(bool on) {
        (void)on;
        return false;
    }
    // Releases the exclusive hold, restores the saved terminal settings and closes. Bytes still queued are
    // dropped. Does nothing when closed.
    virtual void Close() = 0;
};

using SerialDeviceFactory = std::function<std::unique_ptr<ISerialDevice>()>;

// The platform's serial device.
std::unique_ptr<ISerialDevice> CreateSerialDevice();

// What the file system says about a device node, so a caller can explain why it did not open.
struct DeviceNodeInfo {
    bool bExists = false;
    std::string strGroup;  // the group owning the node (for example "dialout"); empty when unknown
};
DeviceNodeInfo InspectDeviceNode(const std::string& path);
