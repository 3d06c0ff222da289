#pragma once
// CModem: the serial-port implementation of the byte link. Open maps the COM number to a device through the
// port table, opens it exclusively and configures it (asking the driver for low latency, put back at Close);
// Read waits on the device with a total time-out of n x 1 ms + T that CancelRead can end; Write hands the
// bytes on without waiting. Threads: as CInterface (one reader, one writer, CancelRead from the tearing-down
// thread); Open, SetMode, Close and destruction on the owner's thread while nobody else uses the object.
// Owned by the probe until the connection dialog hands it over, then by the application's Port.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial/serial_device.h"
#include "protocol/interface.h"

class CModem : public CInterface {
public:
    CModem();
    // Tests pass a factory to observe the device calls; the default is the platform's serial device.
    explicit CModem(SerialDeviceFactory factory);
    ~CModem() override;

    // Opens COM`port` (1 to 256) with the mode string and the read time-out constant T. Outside 1 to 256:
    // false, nothing touched. A device that opens counts as usable whatever its configuration calls report.
    // After a failure the object is closed and may be opened again.
    bool Open(const char* mode, int port, DWORD readTimeoutMs);

    // The open device's COM number; -1 while closed.
    int GetPortNumber() const { return m_nPortNumber; }
    // Why the last Open failed (a Windows-style error code), 0 after a success.
    DWORD GetLastOpenError() const { return m_nLastOpenError; }
    // The device path the last Open tried; empty when the number was out of range or unmapped.
    const std::string& GetDevicePath() const { return m_strDevicePath; }

    BOOL SetMode(const char* mode) override;
    BOOL Close() override;
    int CancelRead() override;
    int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) override;
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override;
    std::uint64_t UnreadBytes() override { return m_pDevice ? m_pDevice->UnreadBytes() : 0; }

private:
    void ApplyMode(const char* mode);
    void EnableLowLatency();

    SerialDeviceFactory m_factory;
    std::unique_ptr<ISerialDevice> m_pDevice;  // null while closed
    int m_nPortNumber = -1;
    DWORD m_nReadTimeout = 0;
    DWORD m_nLastOpenError = 0;
    bool m_bRestoreLowLatency = false;  // Open switched the driver's low-latency mode on; Close turns it off
    std::string m_strDevicePath;
};
