// CHSListener: finding frames in the byte stream and handing them on; stopping the receive thread.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <ctime>
#include <thread>

#include "protocol/protocol_codes.h"
#include "receiver_harness.h"
#include "support/deadline.h"

namespace {
using namespace std::chrono_literals;

class Receiver : public ::testing::Test {
protected:
    void SetUp() override {
        link.SetReadTimeout(20);
        ASSERT_TRUE(harness.StartReceiver());
    }
    ScriptedLink link;
    ReceiverHarness harness{&link};
};

TEST_F(Receiver, DropsBytesBeforeTheSyncByte) {
    link.Feed({0x00, 0x55, 0x5A, 0x02, 0x01, 0x02, 0x5B});
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x02, 0x01, 0x02, 0x5B}));
}

TEST_F(Receiver, ReadsANotificationWithoutHandlerWholeAndDropsIt) {
    link.Feed({0x55, 0x57, 0x01, 0x05, 0x53});
    link.Feed(MakeFrame(0x5A));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x00, 0x5A}));
    EXPECT_FALSE(harness.NextFrame(50).has_value());
}

TEST_F(Receiver, ResumesTheHuntRightAfterTheLengthByteOfANonReplyType) {
    link.Feed({0x55, 0x41, 0x01, 0x55, 0x5A, 0x00, 0x5A});
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x00, 0x5A}));
}

TEST_F(Receiver, HandsOnReplyTypesWithTheirBodyUncheckedEvenWithABadChecksum) {
    link.Feed({0x55, 0xA7, 0x00, 0xA7});
    link.Feed({0x55, 0x5A, 0x01, 0x07, 0x00});  // checksum should be 0x5C
    link.Feed({0x55, 0xB1, 0x00, 0xB1});
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0xA7, 0x00, 0xA7}));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x01, 0x07, 0x00}));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0xB1, 0x00, 0xB1}));
}

TEST_F(Receiver, IgnoresTypesJustOutsideTheReplyRange) {
    link.Feed({0x55, 0xA4, 0x00, 0xA4, 0x55, 0xB2, 0x00, 0xB2, 0x55, 0x5B, 0x00, 0x5B});
    link.Feed(MakeFrame(0xA5));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0xA5, 0x00, 0xA5}));
}

TEST_F(Receiver, DropsALengthByteAbove127AndHuntsForTheNextSync) {
    link.Feed({0x55, 0x5A, 0x80, 0x55, 0x5A, 0x00, 0x5A});
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x00, 0x5A}));
    link.Feed({0x55, 0x5A, 0xFF});
    link.Feed(MakeFrame(0x5A, {0x01}));
    EXPECT_EQ(harness.NextFrame(2000), MakeBody(0x5A, {0x01}));
}

TEST_F(Receiver, AssemblesAFrameDeliveredOneByteAtATimeWithSyncBytesInside) {
    link.SetMaxChunk(1);
    const Bytes payload{0x55, 0x55, 0x00, 0x55};
    link.Feed(MakeFrame(0x5A, payload));
    EXPECT_EQ(harness.NextFrame(2000), MakeBody(0x5A, payload));
}

TEST_F(Receiver, TakesTheLargestFrame) {
    Bytes payload(MAX_PAYLOAD);
    for (int i = 0; i < MAX_PAYLOAD; ++i) payload[i] = static_cast<BYTE>(i * 7);
    link.Feed(MakeFrame(0x5A, payload));
    const auto frame = harness.NextFrame(3000);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->size(), 130u);
    EXPECT_EQ(*frame, MakeBody(0x5A, payload));
}

TEST_F(Receiver, AbortDropsAPartialFrameAndTheNextFrameIsReceivedWhole) {
    link.Feed({0x55, 0x5A, 0x02, 0x01});
    ASSERT_TRUE(link.WaitForPendingRead(2, 2000));  // waiting for the rest of the payload and checksum
    harness.Abort();
    ASSERT_TRUE(link.WaitForPendingRead(1, 2000));  // hunting again
    link.Feed(MakeFrame(0x5A));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x00, 0x5A}));
}

TEST_F(Receiver, KeepsAnUnclaimedReplyForTheNextConsumer) {
    link.Feed(MakeFrame(0xA7));
    link.Feed(MakeFrame(0x5A));
    ASSERT_TRUE(link.WaitUntilDrained(2000));  // second frame read; its Put waits for the slot
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0xA7, 0x00, 0xA7}));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x00, 0x5A}));
}

TEST(ReceiverNotifications, GoToTheFirstHandlerOfTheirChannelAsWholeBodies) {
    ScriptedLink link;
    link.SetReadTimeout(20);
    CHSHandler other(4), first(5), second(5);  // handlers outlive the engine
    ReceiverHarness harness(&link);
    harness.RegisterHandler(0, &other);
    harness.RegisterHandler(2, &first);
    harness.RegisterHandler(5, &second);
    ASSERT_TRUE(harness.StartReceiver());

    link.Feed(MakeFrame(0x57, {0x45, 0x09}));  // 0x45 & 0x3F = channel 5
    ASSERT_TRUE(first.WaitFilled(2000));
    EXPECT_EQ(Bytes(first.m_pData.get(), first.m_pData.get() + first.m_nLength),
              MakeBody(0x57, {0x45, 0x09}));
    first.MarkEmpty();
    EXPECT_FALSE(second.WaitFilled(0));
    EXPECT_FALSE(other.WaitFilled(0));
    EXPECT_FALSE(harness.NextFrame(0).has_value());
}

TEST(ReceiverTeardown, IdleReceiverStopsWithoutWaitingOutALongReadTimeOut) {
    ScriptedLink link;
    link.SetReadTimeout(30000);
    ReceiverHarness harness(&link);
    ASSERT_TRUE(harness.StartReceiver());
    ASSERT_TRUE(link.WaitForPendingRead(1, 2000));
    const long long ms = RunWithin(
        10000, [&] { harness.StopReceiver(); }, "receiver teardown");
    EXPECT_LT(ms, 2000);
    EXPECT_EQ(link.CancelCalls(), 1);
}

TEST(ReceiverTeardown, ReleasesAThreadBlockedInPutOnTheReceivedSlot) {
    ScriptedLink link;
    ReceiverHarness harness(&link);
    ASSERT_TRUE(harness.StartReceiver());
    link.Feed(MakeFrame(0x5A));
    link.Feed(MakeFrame(0xA7));  // nobody takes the first, so this Put blocks
    ASSERT_TRUE(link.WaitUntilDrained(2000));
    const long long ms = RunWithin(
        10000, [&] { harness.StopReceiver(); }, "receiver teardown");
    EXPECT_LT(ms, 2000);
}

TEST(ReceiverTeardown, ReleasesAThreadBlockedInPutOnAHandlerNobodyEmpties) {
    ScriptedLink link;
    CHSHandler handler(1);
    ReceiverHarness harness(&link);
    harness.RegisterHandler(0, &handler);
    ASSERT_TRUE(harness.StartReceiver());
    link.Feed(MakeFrame(0x57, {0x01}));
    link.Feed(MakeFrame(0x57, {0x01}));
    ASSERT_TRUE(link.WaitUntilDrained(2000));
    const long long ms = RunWithin(
        10000, [&] { harness.StopReceiver(); }, "receiver teardown");
    EXPECT_LT(ms, 2000);
}

TEST(ReceiverTeardown, AListenerThatNeverStartedLeavesTheLinkAlone) {
    ScriptedLink link;
    { ReceiverHarness harness(&link); }
    EXPECT_EQ(link.CancelCalls(), 0);
    EXPECT_EQ(link.ReadCalls(), 0u);
}

// The process's CPU time: std::clock on POSIX; on Windows std::clock counts wall time, so the system's own.
double ProcessCpuMs() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0) + t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
#else
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

TEST(ReceiverVanishedDevice, BacksOffBetweenFailingReadsInsteadOfSpinning) {
    ScriptedLink link;
    link.SetFailReads(ERROR_DEVICE_NOT_CONNECTED);
    ReceiverHarness harness(&link);
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    ASSERT_TRUE(harness.StartReceiver());
    std::this_thread::sleep_for(1s);  // the measuring window
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallBefore).count();
    const std::uint64_t reads = link.ReadCalls();
    EXPECT_LT(cpuMs, 0.05 * wallMs);
    EXPECT_GE(reads, 3u);    // it does keep trying
    EXPECT_LT(reads, 100u);  // ... but a few times a second, not millions
    const long long ms = RunWithin(
        10000, [&] { harness.StopReceiver(); }, "receiver teardown");
    EXPECT_LT(ms, 1000);  // the back-off pause is cut short
}

TEST(ReceiverVanishedDevice, ReceivesAgainOnceReadsSucceed) {
    ScriptedLink link;
    link.SetReadTimeout(20);
    link.SetFailReads(ERROR_GEN_FAILURE);
    ReceiverHarness harness(&link);
    ASSERT_TRUE(harness.StartReceiver());
    std::this_thread::sleep_for(300ms);  // let the back-off grow
    link.SetFailReads(0);
    link.Feed(MakeFrame(0x5A));
    EXPECT_EQ(harness.NextFrame(2000), (Bytes{0x5A, 0x00, 0x5A}));
}
}  // namespace
