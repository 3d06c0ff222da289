#include "serial/modem.h"

#include <utility>

#include "platform/serial/mode_string.h"
#include "platform/serial/port_table.h"

CModem::CModem() : CModem(SerialDeviceFactory()) {}

CModem::CModem(SerialDeviceFactory factory) : m_factory(std::move(factory)) {
    if (!m_factory) m_factory = &CreateSerialDevice;
    m_nSetting = 1;
}

CModem::~CModem() {
    if (m_bOpen && m_pDevice) Close();
}

bool CModem::Open(const char* mode, int port, DWORD readTimeoutMs) {
    if (port < PortTable::kFirstPort || port > PortTable::kLastPort) return false;
    if (m_pDevice) Close();  // not reached by the system's callers (one Open per object), kept sound anyway
    m_strDevicePath = PortTable::FromEnvironment().PathFor(port);
    std::unique_ptr<ISerialDevice> device = m_strDevicePath.empty() ? nullptr : m_factory();
    m_nLastOpenError = device ? device->Open(m_strDevicePath) : ERROR_FILE_NOT_FOUND;
    if (m_nLastOpenError != 0) {
        m_bOpen = false;
        return false;
    }
    m_pDevice = std::move(device);
    m_nPortNumber = port;
    EnableLowLatency();
    ApplyMode(mode);
    m_nReadTimeout = readTimeoutMs;
    (void)m_pDevice->Purge();  // both directions start empty
    m_bOpen = true;
    return true;
}

void CModem::ApplyMode(const char* mode) {
    LineSettings line;
    if (!m_pDevice->GetLine(line)) return;
    // A string that does not parse, or settings the driver refuses, leave the line as it was.
    if (ParseModeString(mode, line)) (void)m_pDevice->SetLine(line);
}

// Small replies then reach the reader at once instead of after the adapter's latency timer. A driver
// without the setting, or one that refuses it, changes nothing.
void CModem::EnableLowLatency() {
    bool wasOn = false;
    m_bRestoreLowLatency = m_pDevice->GetLowLatency(wasOn) && !wasOn && m_pDevice->SetLowLatency(true);
}

BOOL CModem::SetMode(const char* mode) {
    if (!m_pDevice) return FALSE;
    ApplyMode(mode);
    return TRUE;
}

BOOL CModem::Close() {
    if (!m_pDevice) return TRUE;
    if (m_bRestoreLowLatency) (void)m_pDevice->SetLowLatency(false);  // as it was before Open
    m_bRestoreLowLatency = false;
    (void)m_pDevice->SetBreak();
    m_pDevice->Close();
    m_pDevice.reset();
    m_nPortNumber = -1;
    return TRUE;
}

int CModem::CancelRead() { return m_pDevice && m_pDevice->CancelRead() ? TRUE : FALSE; }

int CModem::Write(std::uint32_t n, const BYTE* data, std::uint32_t* /*written: left untouched*/) {
    return m_pDevice && m_pDevice->Write(n, data) ? TRUE : FALSE;
}

int CModem::Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) {
    *received = 0;
    if (!m_pDevice) return static_cast<int>(ERROR_INVALID_HANDLE);
    // The total time-out: 1 ms per byte asked for plus the constant T.
    const std::uint64_t total = std::uint64_t{n} + m_nReadTimeout;
    const DWORD timeout = total > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(total);
    const DeviceReadResult result = m_pDevice->Read(n, buffer, timeout);
    switch (result.eOutcome) {
        case DeviceReadResult::Outcome::Data:
            *received = result.nReceived;
            return TRUE;
        case DeviceReadResult::Outcome::Cancelled:
            return 0;
        case DeviceReadResult::Outcome::Failed:
            break;
    }
    return static_cast<int>(result.nError != 0 ? result.nError : ERROR_GEN_FAILURE);
}
