#include "platform/threads/sync.h"

#include <chrono>
#include <climits>

namespace {
template <class Pred>
bool WaitWithTimeout(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD timeoutMs,
                     Pred pred) {
    if (timeoutMs == INFINITE) {
        cv.wait(lock, pred);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}
}  // namespace

namespace {
constexpr std::uint32_t kSignalled = 1;
constexpr std::uint32_t kWakeStep = 2;  // one WakeWaiters call, in the bits above the count
using Clock = std::chrono::steady_clock;
}  // namespace

BinarySemaphore::BinarySemaphore(bool signalled) : m_word(signalled ? kSignalled : 0) {}

bool BinarySemaphore::Wait(DWORD timeoutMs) { return WaitFor(nullptr, timeoutMs); }

bool BinarySemaphore::WaitUnless(const std::atomic<bool>& cancel, DWORD timeoutMs) {
    return WaitFor(&cancel, timeoutMs);
}

// Every look at the word comes before the look at the cancel flag, and the sleep is conditional on the word
// being what was seen: a Release or WakeWaiters after that look changes the word, so the sleep does not start
// (or ends at once), and no wake-up is lost between the check and the sleep.
bool BinarySemaphore::WaitFor(const std::atomic<bool>* cancel, DWORD timeoutMs) {
    const Clock::time_point deadline = timeoutMs == INFINITE
                                           ? Clock::time_point::max()
                                           : Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::uint32_t seen = m_word.load();
        if (cancel != nullptr && cancel->load()) {
            // A Release may have woken this waiter rather than another one that could take the count.
            if ((seen & kSignalled) != 0 && m_sleepers.load() != 0) FutexWake(m_word, 1);
            return false;
        }
        if ((seen & kSignalled) != 0) {
            if (m_word.compare_exchange_weak(seen, seen & ~kSignalled, std::memory_order_acquire))
                return true;
            continue;
        }
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const auto now = Clock::now();
            if (now >= deadline) return false;
            left = static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
        }
        m_sleepers.fetch_add(1);
        FutexWait(m_word, seen, left);
        m_sleepers.fetch_sub(1, std::memory_order_relaxed);
    }
}

// No lock is held around the wake-up: the woken waiter takes the count with one atomic operation and never
// blocks on its waker.
void BinarySemaphore::Release() {
    if ((m_word.fetch_or(kSignalled) & kSignalled) != 0) return;  // already at its maximum count
    if (m_sleepers.load() != 0) FutexWake(m_word, 1);
}

void BinarySemaphore::WakeWaiters() {
    m_word.fetch_add(kWakeStep);
    if (m_sleepers.load() != 0) FutexWake(m_word, INT_MAX);
}

bool BinarySemaphore::IsSignalled() const { return (m_word.load() & kSignalled) != 0; }

// Every notify below happens with the mutex held: a waiter that wakes may destroy the object (a
// thread's owner frees it once the finished flag is set), and must not do so while the notifier still uses
// it.
void ManualResetEvent::Set() {
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_cv.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

bool ManualResetEvent::Wait(DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    return WaitWithTimeout(m_cv, lock, timeoutMs, [this] { return m_signalled; });
}

void FinishedFlag::Set() {
    std::lock_guard lock(m_mutex);
    m_flag.store(true, std::memory_order_release);
    m_cv.notify_all();
}

void FinishedFlag::Clear() {
    std::lock_guard lock(m_mutex);
    m_flag.store(false, std::memory_order_release);
}

bool FinishedFlag::Wait(DWORD timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return WaitWithTimeout(m_cv, lock, timeoutMs, [this] { return m_flag.load(std::memory_order_acquire); });
}

bool InterruptibleSleep::SleepFor(DWORD ms, const std::atomic<bool>& stop) {
    std::unique_lock lock(m_mutex);
    return WaitWithTimeout(m_cv, lock, ms, [&] { return stop.load(std::memory_order_acquire); });
}

void InterruptibleSleep::Interrupt() {
    std::lock_guard lock(m_mutex);
    m_cv.notify_all();
}
