// The serial device over a Windows COM port: \\.\COMn opened exclusively (share mode 0) for overlapped
// I/O. Reads are bounded by the driver through COMMTIMEOUTS and waited on beside a cancel event, so a
// CancelRead ends them at once; writes are handed to the driver as overlapped writes that it completes in
// order in the background, so Write never waits for the line.
//
// The read waits on the OVERLAPPED's event rather than on an I/O completion port: under Wine 8 an
// overlapped read of a serial port whose handle is associated with a completion port completes at once
// with 0 bytes, while the same read waited on its event returns the reply. Both forms are correct on
// Windows, so the one that also runs under Wine is used.
#include "platform/serial/serial_device.h"

#include <cstdio>
#include <list>
#include <memory>
#include <vector>

#include "platform/serial/raw_line_win.h"
#include "platform/win32_api.h"

namespace {

// One write the driver has not finished yet: its bytes must stay in place until it completes.
struct PendingWrite {
    OVERLAPPED overlapped{};
    std::vector<BYTE> bytes;
};

DWORD OpenError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return ERROR_FILE_NOT_FOUND;
        // A COM port that another program holds refuses a second opener with ERROR_ACCESS_DENIED; Windows
        // has no other reason to refuse a port to a user.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return ERROR_SHARING_VIOLATION;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_GEN_FAILURE;
    }
}

char ParityLetter(BYTE parity) {
    switch (parity) {
        case EVENPARITY:
            return 'E';
        case ODDPARITY:
            return 'O';
        case MARKPARITY:
            return 'M';
        case SPACEPARITY:
            return 'S';
        default:
            return 'N';
    }
}

class WinSerialDevice final : public ISerialDevice {
public:
    ~WinSerialDevice() override { Close(); }

    DWORD Open(const std::string& path) override;
    bool GetLine(LineSettings& line) override;
    bool SetLine(const LineSettings& line) override;
    bool Purge() override;
    DeviceReadResult Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) override;
    bool CancelRead() override;
    bool Write(std::uint32_t n, const BYTE* data) override;
    bool SetBreak() override { return IsOpen() && SetCommBreak(m_hPort); }
    void Close() override;

private:
    bool IsOpen() const { return m_hPort != INVALID_HANDLE_VALUE; }
    bool SetReadTimeout(DWORD timeoutMs);
    void ReapWrites(bool wait);
    DeviceReadResult Fail(DWORD error);

    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    HANDLE m_hReadEvent = nullptr;    // the overlapped read's completion
    HANDLE m_hCancelEvent = nullptr;  // auto-reset; CancelRead sets it after the flag
    DCB m_savedDcb{};
    COMMTIMEOUTS m_savedTimeouts{};
    bool m_bSaved = false;
    DWORD m_nReadTimeout = INFINITE;  // what COMMTIMEOUTS holds now (INFINITE: not yet set)
    bool m_bGone = false;             // the device failed; touched by the reading and writing threads
    volatile LONG m_nCancelPending = 0;
    std::list<std::unique_ptr<PendingWrite>> m_writes;  // the writing thread's, oldest first
};

DWORD WinSerialDevice::Open(const std::string& path) {
    if (IsOpen()) return ERROR_GEN_FAILURE;
    m_hReadEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hCancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_hReadEvent == nullptr || m_hCancelEvent == nullptr) {
        Close();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    // Share mode 0: no other handle to the port while this one is open.
    const HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = OpenError(GetLastError());
        Close();
        return error;
    }
    m_hPort = port;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(port) != FILE_TYPE_CHAR || !GetCommState(port, &dcb) ||
        !GetCommTimeouts(port, &m_savedTimeouts)) {
        Close();
        return ERROR_NOT_SUPPORTED;
    }
    m_savedDcb = dcb;
    m_bSaved = true;
    MakeRaw8N1(dcb);
    // Writes never time out: they are queued in the driver and only Purge or Close drops them.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // until the first Read sets its own: return what is there
    if (!SetCommState(port, &dcb) || !SetCommTimeouts(port, &timeouts)) {
        Close();
        return ERROR_NOT_SUPPORTED;
    }
    m_nReadTimeout = INFINITE;
    m_bGone = false;
    m_nCancelPending = 0;
    return 0;
}

bool WinSerialDevice::GetLine(LineSettings& line) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!IsOpen() || !GetCommState(m_hPort, &dcb)) return false;
    line.nBaud = dcb.BaudRate;
    line.cParity = ParityLetter(dcb.Parity);
    line.nDataBits = dcb.ByteSize;
    line.eStopBits = dcb.StopBits == TWOSTOPBITS    ? StopBits::Two
                     : dcb.StopBits == ONE5STOPBITS ? StopBits::OnePointFive
                                                    : StopBits::One;
    return true;
}

// The settings become a mode string again, so the driver's own BuildCommDCBA applies them to the DCB.
bool WinSerialDevice::SetLine(const LineSettings& line) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!IsOpen() || !GetCommState(m_hPort, &dcb)) return false;
    const char* stop = line.eStopBits == StopBits::Two            ? "2"
                       : line.eStopBits == StopBits::OnePointFive ? "1.5"
                                                                  : "1";
    char mode[80];
    std::snprintf(mode, sizeof mode, "baud=%lu parity=%c data=%u stop=%s",
                  static_cast<unsigned long>(line.nBaud), line.cParity, static_cast<unsigned>(line.nDataBits),
                  stop);
    const DCB before = dcb;
    if (!BuildCommDCBA(mode, &dcb)) return false;
    // BuildCommDCBA may touch the flow-control fields; the port never uses flow control.
    dcb.fOutxCtsFlow = before.fOutxCtsFlow;
    dcb.fOutxDsrFlow = before.fOutxDsrFlow;
    dcb.fDtrControl = before.fDtrControl;
    dcb.fRtsControl = before.fRtsControl;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fParity = line.cParity != 'N';
    if (!SetCommState(m_hPort, &dcb)) return false;
    // A driver may take the call but not the speed: read back what it kept.
    DCB check{};
    check.DCBlength = sizeof check;
    return GetCommState(m_hPort, &check) && check.BaudRate == line.nBaud;
}

bool WinSerialDevice::Purge() {
    if (!IsOpen()) return false;
    const BOOL ok = PurgeComm(m_hPort, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    ReapWrites(true);  // the aborted writes complete now
    return ok != FALSE;
}

bool WinSerialDevice::SetReadTimeout(DWORD timeoutMs) {
    if (timeoutMs == m_nReadTimeout) return true;
    COMMTIMEOUTS timeouts{};
    if (timeoutMs == 0) {
        timeouts.ReadIntervalTimeout = MAXDWORD;  // return at once with what has arrived
    } else {
        timeouts.ReadTotalTimeoutConstant = timeoutMs;  // all n bytes, or what came within the time
    }
    if (!SetCommTimeouts(m_hPort, &timeouts)) return false;
    m_nReadTimeout = timeoutMs;
    return true;
}

DeviceReadResult WinSerialDevice::Fail(DWORD) {
    m_bGone = true;
    return {DeviceReadResult::Outcome::Failed, 0, ERROR_DEVICE_NOT_CONNECTED};
}

DeviceReadResult WinSerialDevice::Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) {
    using Outcome = DeviceReadResult::Outcome;
    if (!IsOpen()) return {Outcome::Failed, 0, ERROR_INVALID_HANDLE};
    if (m_bGone) return {Outcome::Failed, 0, ERROR_DEVICE_NOT_CONNECTED};
    // A wake-up delivered while nobody read ends this Read at once; its event count is stale then.
    if (InterlockedExchange(&m_nCancelPending, 0) != 0) {
        ResetEvent(m_hCancelEvent);
        return {Outcome::Cancelled, 0, 0};
    }
    if (n == 0) return {Outcome::Data, 0, 0};
    if (timeoutMs == INFINITE) timeoutMs = MAXDWORD - 1;  // a total time-out of MAXDWORD means no time-out
    if (!SetReadTimeout(timeoutMs)) return Fail(GetLastError());
    OVERLAPPED ov{};
    ov.hEvent = m_hReadEvent;
    ResetEvent(m_hReadEvent);
    DWORD got = 0;
    if (ReadFile(m_hPort, buffer, n, &got, &ov)) return {Outcome::Data, got, 0};
    if (GetLastError() == ERROR_TIMEOUT) return {Outcome::Data, got, 0};
    if (GetLastError() != ERROR_IO_PENDING) return Fail(GetLastError());
    // The read event comes first, so a read that has completed wins over a cancel that came with it.
    const HANDLE handles[2] = {m_hReadEvent, m_hCancelEvent};
    for (;;) {
        const DWORD which = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0) break;
        if (which != WAIT_OBJECT_0 + 1) {
            CancelIoEx(m_hPort, &ov);
            GetOverlappedResult(m_hPort, &ov, &got, TRUE);
            return Fail(GetLastError());
        }
        if (m_nCancelPending == 0) continue;  // the count of a wake-up already taken
        CancelIoEx(m_hPort, &ov);
        break;
    }
    // A read whose time-out expired is complete with the bytes that came: Windows reports it as a success,
    // Wine passes the driver's STATUS_TIMEOUT on as a failure with ERROR_TIMEOUT. Neither means a lost port.
    if (!GetOverlappedResult(m_hPort, &ov, &got, TRUE) && GetLastError() != ERROR_OPERATION_ABORTED &&
        GetLastError() != ERROR_TIMEOUT) {
        if (got > 0) return {Outcome::Data, got, 0};
        return Fail(GetLastError());
    }
    // Bytes that came before a wake-up go first; the wake-up stays pending for the next Read.
    if (got > 0) return {Outcome::Data, got, 0};
    if (InterlockedExchange(&m_nCancelPending, 0) != 0) return {Outcome::Cancelled, 0, 0};
    return {Outcome::Data, 0, 0};
}

bool WinSerialDevice::CancelRead() {
    if (m_hCancelEvent == nullptr) return false;
    // The flag before the event: a reader woken by the event always finds the flag set.
    InterlockedExchange(&m_nCancelPending, 1);
    return SetEvent(m_hCancelEvent) != FALSE;
}

// Drops the writes the driver has finished; with `wait`, waits for every one still under way.
void WinSerialDevice::ReapWrites(bool wait) {
    for (auto it = m_writes.begin(); it != m_writes.end();) {
        DWORD done = 0;
        if (!GetOverlappedResult(m_hPort, &(*it)->overlapped, &done, wait ? TRUE : FALSE)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_INCOMPLETE) return;  // still under way; so are the later ones
            if (error != ERROR_OPERATION_ABORTED) m_bGone = true;
        }
        CloseHandle((*it)->overlapped.hEvent);
        it = m_writes.erase(it);
    }
}

bool WinSerialDevice::Write(std::uint32_t n, const BYTE* data) {
    if (!IsOpen() || m_bGone) return false;
    if (n == 0) return true;
    ReapWrites(false);
    if (m_bGone) return false;
    auto write = std::make_unique<PendingWrite>();
    write->bytes.assign(data, data + n);
    // An event of its own, so that waiting for this write never mistakes another's completion for it.
    write->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (write->overlapped.hEvent == nullptr) return false;
    DWORD done = 0;
    if (WriteFile(m_hPort, write->bytes.data(), n, &done, &write->overlapped)) {
        CloseHandle(write->overlapped.hEvent);
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        CloseHandle(write->overlapped.hEvent);
        m_bGone = true;
        return false;
    }
    m_writes.push_back(std::move(write));
    return true;
}

void WinSerialDevice::Close() {
    if (IsOpen()) {
        // Bytes still queued are dropped, and the writes that held them complete before their buffers go.
        PurgeComm(m_hPort, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        CancelIoEx(m_hPort, nullptr);
        ReapWrites(true);
        if (m_bSaved) {
            SetCommState(m_hPort, &m_savedDcb);
            SetCommTimeouts(m_hPort, &m_savedTimeouts);
        }
        CloseHandle(m_hPort);
        m_hPort = INVALID_HANDLE_VALUE;
    }
    m_bSaved = false;
    for (HANDLE* event : {&m_hReadEvent, &m_hCancelEvent}) {
        if (*event != nullptr) CloseHandle(*event);
        *event = nullptr;
    }
}

}  // namespace

std::unique_ptr<ISerialDevice> CreateSerialDevice() { return std::make_unique<WinSerialDevice>(); }

// A COM port exists when the system has a DOS device of that name, whether or not it would open.
DeviceNodeInfo InspectDeviceNode(const std::string& path) {
    DeviceNodeInfo info;
    const std::string prefix = "\\\\.\\";
    const std::string name = path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
    char target[1024];
    info.bExists = !name.empty() && QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
    return info;  // Windows has no group that owns a port
}
