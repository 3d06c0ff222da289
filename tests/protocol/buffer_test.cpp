// CBuffer: the one-slot mailbox between two threads.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "protocol/buffer.h"

namespace {
using namespace std::chrono_literals;

const BYTE kLong[130] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// Runs Put on another thread; the future becomes ready when the Put has returned.
std::future<void> PutAsync(CBuffer& buffer, const BYTE* data, int n) {
    return std::async(std::launch::async, [&buffer, data, n] { buffer.Put(data, n); });
}

TEST(BufferSlot, NewSlotIsEmptyAndTakesOnePutWithoutBlocking) {
    CBuffer buffer;
    EXPECT_FALSE(buffer.WaitFilled(0));
    const BYTE message[3] = {0x5A, 0x00, 0x5A};
    auto first = PutAsync(buffer, message, 3);
    ASSERT_EQ(first.wait_for(2s), std::future_status::ready);
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_nLength, 3);
    EXPECT_EQ(buffer.m_pData[0], 0x5A);
}

TEST(BufferSlot, SecondPutBlocksUntilTheConsumerMarksEmpty) {
    CBuffer buffer;
    const BYTE a = 1, b = 2;
    buffer.Put(&a, 1);
    auto second = PutAsync(buffer, &b, 1);
    EXPECT_EQ(second.wait_for(50ms), std::future_status::timeout);
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_pData[0], 1);
    buffer.MarkEmpty();
    ASSERT_EQ(second.wait_for(2s), std::future_status::ready);
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_pData[0], 2);
}

TEST(BufferSlot, MarkEmptyOnAnEmptySlotDoesNotLetTwoPutsThrough) {
    CBuffer buffer;
    buffer.MarkEmpty();
    buffer.MarkEmpty();
    const BYTE a = 1;
    buffer.Put(&a, 1);  // passes at once
    auto blocked = PutAsync(buffer, &a, 1);
    EXPECT_EQ(blocked.wait_for(50ms), std::future_status::timeout);
    buffer.MarkEmpty();  // release the waiter so the test ends
    ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
}

TEST(BufferSlot, ForcedPutReplacesAWaitingMessageAndFillsOnce) {
    CBuffer buffer;
    const BYTE old = 1, fresh = 0x20;
    buffer.Put(&old, 1);
    buffer.ForcePut(&fresh, 1);
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_pData[0], 0x20);
    EXPECT_FALSE(buffer.WaitFilled(0));
}

TEST(BufferSlot, ShorterMessageLeavesStaleBytesOnlyLengthTells) {
    CBuffer buffer;
    buffer.Put(kLong, 130);
    ASSERT_TRUE(buffer.WaitFilled(0));
    buffer.MarkEmpty();
    const BYTE shortMessage[3] = {0xAA, 0x00, 0xAA};
    buffer.Put(shortMessage, 3);
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_nLength, 3);
    EXPECT_EQ(buffer.m_pData[3], 4);
    EXPECT_EQ(buffer.m_pData[9], 10);
}

TEST(BufferSlot, PutNeverCopiesMoreThanTheBlockHolds) {
    CBuffer buffer;
    static BYTE big[1024];
    for (int i = 0; i < 1024; ++i) big[i] = static_cast<BYTE>(i);
    buffer.Put(big, 1024);  // AddressSanitizer would flag an overrun of the 256-byte block
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_nLength, buffer.m_nSize);
    buffer.MarkEmpty();
    buffer.Put(big, -5);
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_nLength, 0);
}

TEST(BufferCancellableWaits, PutUnlessGivesUpOnStopAndLeavesTheSlotAlone) {
    CBuffer buffer;
    std::atomic<bool> stop{false};
    const BYTE first = 1, second = 2;
    buffer.Put(&first, 1);
    auto blocked = std::async(std::launch::async, [&] { return buffer.PutUnless(&second, 1, stop); });
    EXPECT_EQ(blocked.wait_for(50ms), std::future_status::timeout);
    stop = true;
    buffer.WakeWaiters();
    ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(blocked.get());
    ASSERT_TRUE(buffer.WaitFilled(0));
    EXPECT_EQ(buffer.m_pData[0], 1);
}

TEST(BufferCancellableWaits, WaitFilledUnlessEndsOnStopOrTimeOut) {
    CBuffer buffer;
    std::atomic<bool> stop{false};
    EXPECT_FALSE(buffer.WaitFilledUnless(stop, 10));
    auto waiting = std::async(std::launch::async, [&] { return buffer.WaitFilledUnless(stop); });
    EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    stop = true;
    buffer.WakeWaiters();
    ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
}

TEST(BufferCancellableWaits, WaitFilledUnlessTakesAMessageThatArrives) {
    CBuffer buffer;
    std::atomic<bool> stop{false};
    auto waiting = std::async(std::launch::async, [&] { return buffer.WaitFilledUnless(stop, 5000); });
    const BYTE a = 7;
    buffer.Put(&a, 1);
    ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(waiting.get());
    EXPECT_EQ(buffer.m_pData[0], 7);
}
}  // namespace
