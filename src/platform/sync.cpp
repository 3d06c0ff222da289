#include "platform/sync.h"

#include <chrono>

namespace {
template <class Pred>
bool WaitWithTimeout(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD timeoutMs, Pred pred) {
    if (timeoutMs == INFINITE) {
        cv.wait(lock, pred);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}
}  // namespace

BinarySemaphore::BinarySemaphore(bool signalled) : m_signalled(signalled) {}

bool BinarySemaphore::Wait(DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (!WaitWithTimeout(m_cv, lock, timeoutMs, [this] { return m_signalled; })) return false;
    m_signalled = false;
    return true;
}

bool BinarySemaphore::WaitUnless(const std::atomic<bool>& cancel, DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    WaitWithTimeout(m_cv, lock, timeoutMs, [&] { return m_signalled || cancel.load(std::memory_order_acquire); });
    if (!m_signalled || cancel.load(std::memory_order_acquire)) return false;
    m_signalled = false;
    return true;
}

// The semaphore notifies after unlocking: a waiter woken under the lock would at once block on the mutex the
// notifier still holds, costing two more futex calls and context switches on every hand-off of a mailbox.
// That is safe because a semaphore outlives every call on it, not only every wait (see the header); the
// objects below that a waiter may free as soon as it has seen them keep the notify under the lock.
void BinarySemaphore::Release() {
    {
        std::lock_guard lock(m_mutex);
        if (m_signalled) return;  // already at its maximum count
        m_signalled = true;
    }
    m_cv.notify_all();
}

void BinarySemaphore::WakeWaiters() {
    { std::lock_guard lock(m_mutex); }  // a waiter between its check of the flag and its sleep has slept
    m_cv.notify_all();
}

bool BinarySemaphore::IsSignalled() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

// From here on every notify happens with the mutex held: a waiter that wakes may destroy the object (a
// thread's owner frees it once the finished flag is set), and must not do so while the notifier still uses it.
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
