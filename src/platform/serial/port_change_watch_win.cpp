// The serial ports' registry key, watched with RegNotifyChangeKeyValue on an event. The notice is armed
// again by the watch's thread before each wait (a notice fires once), and always by that same thread:
// before Windows 8 a notice ends with the thread that asked for it.
#include "platform/serial/port_change_watch.h"

#include <string>

#include "platform/win32_api.h"

namespace {
constexpr wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr wchar_t kDeviceMap[] = L"HARDWARE\\DEVICEMAP";
constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

// "COM7" -> 7; 0 for anything else.
int ComNumber(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, L"COM") != 0) return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9') return 0;
        number = number * 10 + (name[i] - L'0');
    }
    return number >= 1 && number <= 256 ? number : 0;
}
}  // namespace

PortChangeWatch::PortChangeWatch(void* window, unsigned message) {
    HKEY key = nullptr;
    // The key exists once the system has listed a serial port; before that, its parent tells when it comes.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_NOTIFY, &key) != ERROR_SUCCESS &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceMap, 0, KEY_NOTIFY, &key) != ERROR_SUCCESS) {
        return;
    }
    m_key = key;
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_stop != nullptr && m_changed != nullptr && ready != nullptr) {
        try {
            m_thread = std::thread([this, window, message, ready] {
                // The first notice is armed before the constructor returns: no change after it is missed.
                m_bWatching = RegNotifyChangeKeyValue(static_cast<HKEY>(m_key), TRUE, kFilter, m_changed,
                                                      TRUE) == ERROR_SUCCESS;
                SetEvent(ready);
                if (m_bWatching) Run(window, message);
            });
            WaitForSingleObject(ready, INFINITE);
        } catch (...) {
            // No thread: nothing is watched.
        }
    }
    if (ready != nullptr) CloseHandle(ready);
}

PortChangeWatch::~PortChangeWatch() {
    if (m_thread.joinable()) {
        SetEvent(m_stop);
        m_thread.join();
    }
    if (m_key != nullptr) RegCloseKey(static_cast<HKEY>(m_key));  // cancels a notice still armed
    for (void* event : {m_stop, m_changed}) {
        if (event != nullptr) CloseHandle(event);
    }
}

void PortChangeWatch::Run(void* window, unsigned message) {
    const HANDLE waits[2] = {m_stop, m_changed};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        // Armed again before the post: a change while the window reads the key is told once more.
        const bool armed = RegNotifyChangeKeyValue(static_cast<HKEY>(m_key), TRUE, kFilter, m_changed,
                                                   TRUE) == ERROR_SUCCESS;
        PostMessageW(static_cast<HWND>(window), message, 0, 0);
        if (!armed) return;
    }
}

std::set<int> PresentComPorts() {
    std::set<int> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[16] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);  // room for the terminator the value may lack
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;  // too long for a COM name, or not text
        if (const int number = ComNumber(data)) ports.insert(number);
    }
    RegCloseKey(key);
    return ports;
}
