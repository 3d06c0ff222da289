#pragma once
// CInterface: the abstract byte link the tool protocol runs on.
// Threads: during a connection the receive thread calls Read, the engine thread calls Write and the
// tearing-down thread calls CancelRead once; open, SetMode, Close and destruction happen on the owner's
// thread while nobody else uses the object. The link holds no lock. Owned by whoever created it (the
// application's Port), destroyed after the protocol engine that uses it.
#include <cstdint>

#include "platform/win_types.h"

class CInterface {
public:
    CInterface() = default;
    CInterface(const CInterface&) = delete;
    CInterface& operator=(const CInterface&) = delete;

    // Virtual slots, in the design's order.
    virtual ~CInterface();
    virtual int GetSetting();
    // Applies a mode string ("baud=9600 parity=N data=8 stop=1") to the open device. False when no
    // device is open; true otherwise, whether or not the device accepted the mode.
    virtual BOOL SetMode(const char* mode) = 0;
    // Closes the device; always true, nothing happens when it is already closed.
    virtual BOOL Close() = 0;
    // Wakes the thread blocked in Read; with no waiter the next Read returns at once.
    // Non-zero when the wake-up was delivered.
    virtual int CancelRead() = 0;
    // Hands n bytes to the device without waiting for them to be sent. `written` is left untouched.
    virtual int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) = 0;
    // Reads up to n bytes. Returns non-zero with *received = bytes read (0: the read time-out passed),
    // 0 with *received = 0 after a CancelRead wake-up, or a platform error code with *received = 0.
    virtual int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) = 0;
    virtual void SetSetting(int value);
    // Bytes that have arrived and wait for Read (in the driver or a read-ahead); any thread. A link that
    // cannot tell says 0. The engine counts them as received before the request it is about to write.
    virtual std::uint64_t UnreadBytes() { return 0; }

    bool IsOpen() const { return m_bOpen; }

protected:
    bool m_bOpen = false;  // outcome of the implementation's last open
    int m_nSetting = -1;   // the stored setting
};
