// Thread counting on Windows: the threads of this process in a Toolhelp snapshot.
// <windows.h> before the headers that build on it
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include "support/thread_count.h"

int CountThreads() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = GetCurrentProcessId();
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == self) ++count;
    }
    CloseHandle(snapshot);
    return count;
}
