#pragma once
// Synchronisation objects standing in for the Windows ones the design uses.
// All are safe to call from any thread; the owner destroys an object only when no thread waits on it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/threads/futex.h"
#include "platform/win_types.h"

// A semaphore with maximum count 1. Releasing it while it is already signalled is a no-op
// (Windows refuses such a release and the design ignores the refusal).
// It lives on one futex word: taking and releasing it without contention are single atomic operations, a
// waiter sleeps in the kernel only while the word is unchanged, and Release wakes exactly one sleeper, and
// only when there is one. A waiter that leaves on its cancel flag while the count is there passes the wake-up
// on. Release and WakeWaiters touch the object after a waiter may already have passed, so it is destroyed
// only once no thread is inside any call on it (the protocol engine's semaphores go after its threads have
// finished); to free an object as soon as a wait on it returns, use FinishedFlag.
class BinarySemaphore {
public:
    explicit BinarySemaphore(bool signalled);
    BinarySemaphore(const BinarySemaphore&) = delete;
    BinarySemaphore& operator=(const BinarySemaphore&) = delete;

    // True when the count was taken; false when the time-out passed first (INFINITE: no limit).
    bool Wait(DWORD timeoutMs = INFINITE);
    // True when the count was taken; false when `cancel` is set first or the time-out passes. A setter of
    // the cancel flag calls WakeWaiters() afterwards so that a blocked waiter sees it.
    bool WaitUnless(const std::atomic<bool>& cancel, DWORD timeoutMs = INFINITE);
    void Release();
    // Wakes every waiter of WaitUnless so that it can look at its cancel flag again.
    void WakeWaiters();
    bool IsSignalled() const;

private:
    bool WaitFor(const std::atomic<bool>* cancel, DWORD timeoutMs);

    // Bit 0: the count. The bits above count WakeWaiters calls, so that a waiter that looked at its cancel
    // flag just before one cannot go to sleep through it: its word has changed.
    FutexWord m_word;
    std::atomic<std::uint32_t> m_sleepers{0};  // waiters in, or on their way into, FutexWait
};

// A critical section: a plain mutex with the Enter/Leave names of the design.
class CriticalSection {
public:
    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

// A manual-reset event: once set it stays set until Reset; every waiter passes.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : m_signalled(signalled) {}
    void Set();
    void Reset();
    bool IsSet() const;
    // True when the event is (or becomes) set within the time-out.
    bool Wait(DWORD timeoutMs = INFINITE);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

// A "finished" flag that one thread sets as its last act and another waits for without
// burning a core. Reading it is lock-free; an owner that frees the flag (or the object holding it)
// must have seen it through Wait, which returns only once Set no longer touches the flag.
class FinishedFlag {
public:
    void Set();
    void Clear();
    bool IsSet() const { return m_flag.load(std::memory_order_acquire); }
    // True when the flag is (or becomes) set within the time-out.
    bool Wait(DWORD timeoutMs = INFINITE) const;

private:
    std::atomic<bool> m_flag{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
};

// Sleeps for the given time unless `stop` is set; returns early (true) when woken by Interrupt()
// after the stop flag was set. Used for pauses that teardown must be able to cut short.
class InterruptibleSleep {
public:
    // True when the sleep was cut short because `stop` became set.
    bool SleepFor(DWORD ms, const std::atomic<bool>& stop);
    void Interrupt();

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};
