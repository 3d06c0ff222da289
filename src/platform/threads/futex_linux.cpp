#include "platform/threads/futex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <ctime>

static_assert(sizeof(FutexWord) == sizeof(std::uint32_t) && FutexWord::is_always_lock_free,
              "the kernel waits on the atomic's own 32 bits");

void FutexWait(FutexWord& word, std::uint32_t expected, DWORD timeoutMs) {
    timespec relative{static_cast<time_t>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000000L};
    // EINTR, EAGAIN (the word had changed) and ETIMEDOUT all send the caller back to look at the word.
    (void)syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected,
                  timeoutMs == INFINITE ? nullptr : &relative, nullptr, 0);
}

void FutexWake(FutexWord& word, int count) {
    (void)syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, count, nullptr,
                  nullptr, 0);
}
