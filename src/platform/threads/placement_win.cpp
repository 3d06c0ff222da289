// Windows' soft placement: the ideal processor, which the scheduler prefers and leaves when it is busy.
#include "platform/threads/placement_os.h"
#include "platform/win32_api.h"

int CurrentProcessorOfThread() { return static_cast<int>(GetCurrentProcessorNumber()); }

bool PlaceCurrentThread(int processor) {
    // One processor group (64 processors) is all this program asks for.
    if (processor >= 64) return false;
    return SetThreadIdealProcessor(GetCurrentThread(), static_cast<DWORD>(processor)) !=
           static_cast<DWORD>(-1);
}
