// The synchronisation stand-ins: counts, time-outs, cancellation, and freeing after the last signal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <random>
#include <thread>

#include "platform/threads/sync.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(BinarySemaphoreCount, NeverExceedsOneAndAReleaseAtOneIsANoOp) {
    BinarySemaphore sem(false);
    EXPECT_FALSE(sem.Wait(0));
    sem.Release();
    sem.Release();
    EXPECT_TRUE(sem.IsSignalled());
    EXPECT_TRUE(sem.Wait(0));
    EXPECT_FALSE(sem.Wait(0));
    BinarySemaphore signalled(true);
    signalled.Release();
    EXPECT_TRUE(signalled.Wait(0));
    EXPECT_FALSE(signalled.Wait(0));
}

TEST(BinarySemaphoreWait, TimesOutAfterAboutItsTimeAndPassesOnARelease) {
    BinarySemaphore sem(false);
    const auto start = Clock::now();
    EXPECT_FALSE(sem.Wait(60));
    EXPECT_GE(MsSince(start), 55);
    auto waiter = std::async(std::launch::async, [&] { return sem.Wait(10000); });
    sem.Release();
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    EXPECT_FALSE(sem.IsSignalled());
}

TEST(BinarySemaphoreWait, WaitUnlessEndsOnItsCancelFlagAndLeavesTheCount) {
    BinarySemaphore sem(false);
    std::atomic<bool> cancel{false};
    auto waiter = std::async(std::launch::async, [&] { return sem.WaitUnless(cancel); });
    EXPECT_EQ(waiter.wait_for(30ms), std::future_status::timeout);
    cancel = true;
    sem.WakeWaiters();
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    sem.Release();
    EXPECT_FALSE(sem.WaitUnless(cancel));  // a set flag wins over a count
    EXPECT_TRUE(sem.IsSignalled());
    std::atomic<bool> never{false};
    EXPECT_TRUE(sem.WaitUnless(never, 0));
    EXPECT_FALSE(sem.WaitUnless(never, 20));
}

// A wake-up that came between a waiter's look at the count (or its cancel flag) and its sleep must not be
// lost: thousands of hand-offs back and forth, and of cancels at random moments, each bounded so that a lost
// one fails the test instead of hanging it.
TEST(BinarySemaphoreWakeUps, NoneIsLostBetweenTheCheckAndTheSleep) {
    BinarySemaphore ping(false), pong(false);
    constexpr int kRounds = 20000;
    auto partner = std::async(std::launch::async, [&] {
        for (int i = 0; i < kRounds; ++i) {
            if (!ping.Wait(10000)) return false;
            pong.Release();
        }
        return true;
    });
    for (int i = 0; i < kRounds; ++i) {
        ping.Release();
        ASSERT_TRUE(pong.Wait(10000)) << "hand-off " << i;
    }
    ASSERT_EQ(partner.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(partner.get());

    // The waiter goes straight back to sleep after each cancel. The canceller, which watches for the waiter's
    // answer without sleeping itself, strikes after a varying delay, so that some cancels land just between
    // the waiter's look at its flag and its sleep.
    BinarySemaphore never(false);
    std::atomic<bool> cancel{false};
    std::atomic<int> answered{0};
    constexpr int kCancels = 20000;
    auto waiter = std::async(std::launch::async, [&] {
        for (int i = 0; i < kCancels; ++i) {
            if (never.WaitUnless(cancel)) return false;
            cancel = false;
            answered.fetch_add(1);
        }
        return true;
    });
    std::minstd_rand random(7);
    for (int i = 0; i < kCancels; ++i) {
        // A few hundred steps of delay, so the cancel lands anywhere around the waiter's check and sleep.
        for (int spin = static_cast<int>(random() % 400); spin > 0; --spin)
            std::atomic_signal_fence(std::memory_order_seq_cst);
        cancel = true;
        never.WakeWaiters();
        const auto deadline = Clock::now() + 5s;
        while (answered.load() <= i && Clock::now() < deadline) std::this_thread::yield();
        const bool ended = answered.load() > i;
        if (!ended) never.WakeWaiters();  // the lost one, so that the failure ends instead of hanging
        ASSERT_TRUE(ended) << "cancel " << i;
    }
    ASSERT_EQ(waiter.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
}

// The request lock has two waiters at times. A Release wakes one of them; when that one leaves on its cancel
// flag instead of taking the count, the other must still get it.
TEST(BinarySemaphoreWakeUps, AWaiterLeavingOnItsCancelPassesTheWakeUpOn) {
    for (int i = 0; i < 50; ++i) {
        BinarySemaphore sem(false);
        std::atomic<bool> cancel{false};
        auto leaving = std::async(std::launch::async, [&] { return sem.WaitUnless(cancel); });
        auto taking = std::async(std::launch::async, [&] { return sem.Wait(); });
        std::this_thread::sleep_for(2ms);  // both asleep, most of the time
        cancel = true;                     // no WakeWaiters: only the Release can wake the leaving waiter
        sem.Release();
        const bool taken = taking.wait_for(5s) == std::future_status::ready;
        sem.WakeWaiters();  // the leaving waiter, if the Release woke the other one (and a stuck taker)
        ASSERT_TRUE(taken) << "round " << i;
        EXPECT_TRUE(taking.get());
        ASSERT_EQ(leaving.wait_for(10s), std::future_status::ready);
        EXPECT_FALSE(leaving.get());
        EXPECT_FALSE(sem.IsSignalled());
    }
}

TEST(ManualResetEventState, StaysSetForEveryWaiterUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    auto first = std::async(std::launch::async, [&] { return event.Wait(10000); });
    auto second = std::async(std::launch::async, [&] { return event.Wait(10000); });
    event.Set();
    ASSERT_EQ(first.wait_for(5s), std::future_status::ready);
    ASSERT_EQ(second.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(first.get() && second.get());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(20));
}

TEST(FinishedFlagWait, TimesOutOrSeesTheFlagSetByAnotherThread) {
    FinishedFlag flag;
    EXPECT_FALSE(flag.Wait(20));
    std::thread setter([&] { flag.Set(); });
    EXPECT_TRUE(flag.Wait(10000));
    setter.join();
    EXPECT_TRUE(flag.IsSet());
    flag.Clear();
    EXPECT_FALSE(flag.IsSet());
}

// The owner frees the object as soon as the worker's last act (Set) is seen. Under the sanitizers a
// Set that still touches the flag after waking the waiter shows up as a use after free or a race.
TEST(FinishedFlagWait, OwnerMayFreeTheFlagOnceWaitReturns) {
    for (int i = 0; i < 300; ++i) {
        auto flag = std::make_unique<FinishedFlag>();
        std::thread([f = flag.get()] { f->Set(); }).detach();
        ASSERT_TRUE(flag->Wait(10000));
        flag.reset();
    }
}

TEST(InterruptibleSleepPause, RunsItsCourseUnlessStoppedAndInterrupted) {
    InterruptibleSleep sleep;
    std::atomic<bool> stop{false};
    auto start = Clock::now();
    EXPECT_FALSE(sleep.SleepFor(50, stop));
    EXPECT_GE(MsSince(start), 45);

    auto sleeper = std::async(std::launch::async, [&] { return sleep.SleepFor(60000, stop); });
    EXPECT_EQ(sleeper.wait_for(30ms), std::future_status::timeout);
    start = Clock::now();
    stop = true;
    sleep.Interrupt();
    ASSERT_EQ(sleeper.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(sleeper.get());
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_TRUE(sleep.SleepFor(60000, stop));  // already stopped: returns at once
}
}  // namespace
