#pragma once
// RecordingSerialDevice: a stand-in for the platform's serial device that records every call in order, for
// tests of CModem's device calls (break before close, the line settings handed on). Single test thread;
// the log is shared with the test through a shared_ptr so it outlives the device.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial/serial_device.h"

namespace testsupport {

struct DeviceLog {
    std::vector<std::string>
        calls;  // "Open /dev/x", "GetLine", "SetLine 21600", "Purge", "SetBreak", "Close", ...
    std::vector<LineSettings> linesSet;
    int nCreated = 0;
    DWORD nOpenResult = 0;           // what Open returns
    std::optional<bool> lowLatency;  // the driver's low-latency flag; nothing: a driver without the setting
    bool bRefuseLowLatency = false;  // SetLowLatency fails
};

class RecordingSerialDevice final : public ISerialDevice {
public:
    explicit RecordingSerialDevice(std::shared_ptr<DeviceLog> log) : m_log(std::move(log)) {}
    ~RecordingSerialDevice() override { m_log->calls.push_back("Destroy"); }

    DWORD Open(const std::string& path) override {
        m_log->calls.push_back("Open " + path);
        return m_log->nOpenResult;
    }
    bool GetLine(LineSettings& line) override {
        m_log->calls.push_back("GetLine");
        line = m_line;
        return true;
    }
    bool SetLine(const LineSettings& line) override {
        m_log->calls.push_back("SetLine " + std::to_string(line.nBaud));
        m_log->linesSet.push_back(line);
        m_line = line;
        return true;
    }
    bool Purge() override { return Log("Purge"); }
    DeviceReadResult Read(std::uint32_t, BYTE*, DWORD) override {
        m_log->calls.push_back("Read");
        return {};
    }
    bool CancelRead() override { return Log("CancelRead"); }
    bool Write(std::uint32_t, const BYTE*) override { return Log("Write"); }
    bool SetBreak() override { return Log("SetBreak"); }
    bool GetLowLatency(bool& on) override {
        m_log->calls.push_back("GetLowLatency");
        on = m_log->lowLatency.value_or(false);
        return m_log->lowLatency.has_value();
    }
    bool SetLowLatency(bool on) override {
        m_log->calls.push_back(std::string("SetLowLatency ") + (on ? "1" : "0"));
        if (m_log->bRefuseLowLatency || !m_log->lowLatency) return false;
        m_log->lowLatency = on;
        return true;
    }
    void Close() override { m_log->calls.push_back("Close"); }

private:
    bool Log(const char* call) {
        m_log->calls.emplace_back(call);
        return true;
    }
    std::shared_ptr<DeviceLog> m_log;
    LineSettings m_line{1200, 'E', 7, StopBits::Two};
};

inline SerialDeviceFactory RecordingFactory(const std::shared_ptr<DeviceLog>& log) {
    return [log] {
        ++log->nCreated;
        return std::make_unique<RecordingSerialDevice>(log);
    };
}

}  // namespace testsupport
