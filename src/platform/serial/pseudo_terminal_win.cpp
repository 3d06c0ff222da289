// The serving side of a line on Windows: a COM port opened exclusively for overlapped I/O (one end of a
// null-modem pair; the client opens the other end). A Read waits on its OVERLAPPED's event beside the
// wake event, bounded by the driver's COMMTIMEOUTS: it returns as soon as one byte has come, or when the
// time-out passes. Windows has no pseudo-terminals, so Create only says so.
#include "platform/serial/pseudo_terminal.h"

#include "platform/serial/raw_line_win.h"
#include "platform/win32_api.h"

namespace {

// A pause between two bytes that ends a read: a request's bytes come back to back.
constexpr DWORD kByteGapMs = 2;

std::string Reason(const char* what, const std::string& path) {
    return std::string(what) + " " + path + " (error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    HangUp();
    if (m_readEvent != nullptr) CloseHandle(m_readEvent);
    if (m_wakeEvent != nullptr) CloseHandle(m_wakeEvent);
}

bool PseudoTerminal::IsOpen() const { return m_port != nullptr; }

bool PseudoTerminal::Create(std::string* error) {
    if (error != nullptr)
        *error = "Windows has no pseudo-terminals: serve a COM port of a null-modem pair (Attach)";
    return false;
}

bool PseudoTerminal::Attach(const std::string& path, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        HangUp();
        return false;
    };
    if (m_port != nullptr) return fail("the line is already open");
    if (m_readEvent == nullptr) m_readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_wakeEvent == nullptr) m_wakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_readEvent == nullptr || m_wakeEvent == nullptr) return fail(Reason("no events for", path));
    const std::string device = path.rfind("\\\\.\\", 0) == 0 ? path : "\\\\.\\" + path;
    HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return fail(Reason("cannot open", path));
    m_port = port;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return fail(Reason("not a serial port:", path));
    dcb.BaudRate = CBR_9600;
    MakeRaw8N1(dcb);
    if (!SetCommState(port, &dcb)) return fail(Reason("cannot set 8N1 on", path));
    m_readTimeout = -2;
    if (!SetReadTimeout(0)) return fail(Reason("cannot set the time-outs of", path));
    // What an earlier client left in the cable is not this one's.
    PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    m_strPath = path;
    return true;
}

bool PseudoTerminal::SetReadTimeout(int timeoutMs) {
    if (timeoutMs == m_readTimeout) return true;
    COMMTIMEOUTS timeouts{};
    if (timeoutMs == 0) {
        timeouts.ReadIntervalTimeout = MAXDWORD;  // what has come, at once
    } else {
        // Ends once the bytes stop for a moment after the first, or at the time-out (0: none).
        timeouts.ReadIntervalTimeout = kByteGapMs;
        timeouts.ReadTotalTimeoutConstant = timeoutMs < 0 ? 0 : static_cast<DWORD>(timeoutMs);
    }
    if (!SetCommTimeouts(m_port, &timeouts)) return false;
    m_readTimeout = timeoutMs;
    return true;
}

int PseudoTerminal::Read(BYTE* buffer, std::size_t capacity, int timeoutMs) {
    if (InterlockedExchange(&m_wakePending, 0) != 0) {
        ResetEvent(m_wakeEvent);
        return kStopped;
    }
    if (m_port == nullptr) return kGone;
    if (!SetReadTimeout(timeoutMs)) return kGone;
    OVERLAPPED ov{};
    ov.hEvent = m_readEvent;
    ResetEvent(m_readEvent);
    DWORD got = 0;
    const DWORD n = static_cast<DWORD>(capacity > 65536 ? 65536 : capacity);
    if (!ReadFile(m_port, buffer, n, &got, &ov)) {
        const DWORD error = GetLastError();
        if (error == ERROR_TIMEOUT) return 0;
        if (error != ERROR_IO_PENDING) return kGone;
        const HANDLE handles[2] = {m_readEvent, m_wakeEvent};
        const DWORD which = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) CancelIoEx(m_port, &ov);
        // Wine reports a read that ran out of time as ERROR_TIMEOUT, Windows as a success.
        if (!GetOverlappedResult(m_port, &ov, &got, TRUE) && GetLastError() != ERROR_OPERATION_ABORTED &&
            GetLastError() != ERROR_TIMEOUT && got == 0) {
            return kGone;
        }
    }
    if (got > 0) return static_cast<int>(got);  // a wake-up that came with them stays for the next Read
    if (InterlockedExchange(&m_wakePending, 0) != 0) {
        ResetEvent(m_wakeEvent);
        return kStopped;
    }
    return 0;
}

bool PseudoTerminal::Write(const BYTE* data, std::size_t n) {
    std::size_t done = 0;
    while (m_port != nullptr && done < n) {
        OVERLAPPED ov{};
        ov.hEvent = m_readEvent;  // the serving thread reads and writes in turn, never both at once
        ResetEvent(m_readEvent);
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(n - done > 65536 ? 65536 : n - done);
        if (!WriteFile(m_port, data + done, chunk, &wrote, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING) return false;
            const HANDLE handles[2] = {m_readEvent, m_wakeEvent};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIoEx(m_port, &ov);
                GetOverlappedResult(m_port, &ov, &wrote, TRUE);
                return false;  // the wake-up stays pending for the Read that follows
            }
            if (!GetOverlappedResult(m_port, &ov, &wrote, TRUE)) return false;
        }
        if (wrote == 0) return false;
        done += wrote;
    }
    return done == n;
}

void PseudoTerminal::Wake() {
    if (m_wakeEvent == nullptr) return;
    // The flag before the event: a reader woken by the event always finds the flag set.
    InterlockedExchange(&m_wakePending, 1);
    SetEvent(m_wakeEvent);
}

void PseudoTerminal::HangUp() {
    if (m_port == nullptr) return;
    CancelIoEx(m_port, nullptr);
    CloseHandle(m_port);
    m_port = nullptr;
}

bool PseudoTerminal::GetClientLine(LineSettings&) const { return false; }
