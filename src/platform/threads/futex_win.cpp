// The futex word on Windows: WaitOnAddress and WakeByAddress (Windows 8 and later), which sleep while the
// word still holds the value the caller last saw, as the futex does.
#include "platform/threads/futex.h"

#include "platform/win32_api.h"

void FutexWait(FutexWord& word, std::uint32_t expected, DWORD timeoutMs) {
    ::WaitOnAddress(&word, &expected, sizeof expected, timeoutMs);
}

void FutexWake(FutexWord& word, int count) {
    if (count == 1) {
        ::WakeByAddressSingle(&word);
    } else {
        ::WakeByAddressAll(&word);
    }
}
