// The synchronisation stand-ins: counts, time-outs, cancellation, and freeing after the last signal.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

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
