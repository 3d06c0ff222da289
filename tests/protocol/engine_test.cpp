// CHSProtocol: one exchange at a time, the statuses the engine makes itself, and the wire bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "engine_probe.h"
#include "protocol/hs_protocol.h"
#include "support/deadline.h"
#include "support/scripted_link.h"

namespace {
using namespace std::chrono_literals;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        link.SetReadTimeout(20);
        ASSERT_TRUE(engine.m_bStarted);
    }
    int Send(BYTE code) {
        int status = -1;
        RunWithin(
            20000, [&] { status = engine.SendCommand(code); }, "exchange");
        return status;
    }
    ScriptedLink link;
    CHSProtocol engine{&link, 300};
};

TEST_F(Engine, WritesTheFourByteRequestAndReturnsTheReplyStatus) {
    link.SetReply('D', {0x55, 0x5A, 0x00, 0x5A});
    EXPECT_EQ(Send('D'), 0x5A);
    EXPECT_EQ(link.WrittenBytes(), (Bytes{0x55, 0x44, 0x00, 0x44}));
    ASSERT_EQ(link.Writes().size(), 1u);
}

TEST_F(Engine, RefusesCodesOutsideItsSetWithoutWritingAndStaysUsable) {
    for (BYTE code :
         {BYTE{0x00}, BYTE{'U'}, BYTE{'W'}, BYTE{'Z'}, BYTE{'I'}, BYTE{'L'}, BYTE{'a'}, BYTE{0xFF}}) {
        EXPECT_EQ(Send(code), 0xA5) << "code " << int(code);
    }
    EXPECT_TRUE(link.Writes().empty());
    link.SetReply('A', MakeFrame(0x5A));
    EXPECT_EQ(Send('A'), 0x5A);
    EXPECT_EQ(link.WrittenBytes(), (Bytes{0x55, 'A', 0x00, 'A'}));
}

TEST_F(Engine, AcceptsExactlyItsSixteenBaseCodes) {
    int accepted = 0;
    for (int code = 0; code < 256; ++code) accepted += engine.IsCommand(code) ? 1 : 0;
    EXPECT_EQ(accepted, 16);
    EXPECT_TRUE(engine.IsCommand('A') && engine.IsCommand('H') && engine.IsCommand('M') &&
                engine.IsCommand('T'));
    EXPECT_FALSE(engine.IsCommand('I') || engine.IsCommand('L') || engine.IsCommand('U'));
    EXPECT_TRUE(engine.IsCommand(0x100 + 'A'));  // only the low byte counts
}

TEST_F(Engine, AcceptsZAndTheFailureRangeAsReplies) {
    int accepted = 0;
    for (int type = 0; type < 256; ++type) accepted += engine.IsReply(type) ? 1 : 0;
    EXPECT_EQ(accepted, 14);
    EXPECT_TRUE(engine.IsReply(0x5A) && engine.IsReply(0xA5) && engine.IsReply(0xB1));
    EXPECT_FALSE(engine.IsReply(0) || engine.IsReply(0xA4) || engine.IsReply(0xB2) || engine.IsReply('W'));
}

TEST_F(Engine, PassesTheToolsFailureStatusOn) {
    link.SetReply('A', MakeFrame(0xA7));
    EXPECT_EQ(Send('A'), 0xA7);
}

TEST_F(Engine, ReportsABadChecksumAndTheNextExchangeWorks) {
    link.SetReply('A', {0x55, 0x5A, 0x01, 0x07, 0x00});
    EXPECT_EQ(Send('A'), 0xA6);
    link.SetReply('A', MakeFrame(0x5A, {0x07}));
    EXPECT_EQ(Send('A'), 0x5A);
}

TEST_F(Engine, ReportsNoReplyFromASilentToolAndTheNextExchangeWorks) {
    const auto start = Clock::now();
    EXPECT_EQ(Send('A'), 0xAA);
    EXPECT_GE(duration_cast<milliseconds>(Clock::now() - start).count(), 290);
    link.SetReply('A', MakeFrame(0x5A));
    EXPECT_EQ(Send('A'), 0x5A);
}

TEST_F(Engine, NeverReceivesAReplyTypeOutsideTheSet) {
    link.SetReply('A', MakeFrame(0xB2));
    EXPECT_EQ(Send('A'), 0xAA);
}

// A frame that began before a request was written is never that request's reply: a late reply, strays
// waiting in the slot and behind it, one whose sync byte came just before the write. A reply that begins
// after the write, however slowly, still is.
TEST_F(Engine, TakesOnlyAFrameThatBeganAfterTheRequestAsItsReply) {
    const auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    link.SetReply('B', MakeFrame(0x5A, {0x01}));
    EXPECT_EQ(Send('A'), 0xAA);
    ASSERT_TRUE(link.WaitForPendingRead(1, 2000));  // the receiver hunts again
    link.Feed(MakeFrame(0xA9));                     // the reply to 'A', too late
    ASSERT_TRUE(link.WaitUntilDrained(2000));
    EXPECT_EQ(Send('B'), 0x5A);

    link.Feed(join(MakeFrame(0xA9), MakeFrame(0xA8)));  // one fills the slot, the receiver holds the other
    ASSERT_TRUE(link.WaitUntilDrained(2000));
    EXPECT_EQ(Send('B'), 0x5A);

    link.Feed({0x55});  // a stray frame's sync byte before the write, the rest of it after
    ASSERT_TRUE(link.WaitForPendingRead(2, 2000));
    link.SetResponder([&](BYTE) { return join({0xA9, 0x00, 0xA9}, MakeFrame(0x5A, {0x01})); });
    EXPECT_EQ(Send('B'), 0x5A);
    link.SetResponder({});

    link.SetSilent(true);
    const std::size_t writes = link.Writes().size();
    std::thread slowTool([&] {
        if (!link.WaitForWriteCount(writes + 1, 2000)) return;
        std::this_thread::sleep_for(100ms);  // well inside the 300 ms time-out
        link.Feed(MakeFrame(0xA8));
    });
    EXPECT_EQ(Send('B'), 0xA8);
    slowTool.join();
    link.SetSilent(false);
    EXPECT_EQ(Send('B'), 0x5A);  // ... and the stream is in step
}

TEST_F(Engine, DropsAHalfReceivedFrameWhenTheReplyIsOverdue) {
    link.SetResponder([&](BYTE code) -> Bytes {
        if (code == 'A') return {0x55, 0x5A, 0x02, 0x01};  // cut off
        return MakeFrame(0x5A);
    });
    EXPECT_EQ(Send('A'), 0xAA);
    ASSERT_TRUE(link.WaitForPendingRead(1, 2000));
    EXPECT_EQ(Send('B'), 0x5A);
}

TEST_F(Engine, SerialisesTwoCallersOnASilentTool) {
    std::promise<void> go;
    std::shared_future<void> ready = go.get_future().share();
    std::vector<Clock::time_point> ends(2);
    std::vector<int> statuses(2);
    RunWithin(
        20000,
        [&] {
            std::thread session([&] {
                ready.wait();
                statuses[0] = engine.SendCommand('A');
                ends[0] = Clock::now();
            });
            std::thread other([&] {
                ready.wait();
                statuses[1] = engine.SendCommand('H');
                ends[1] = Clock::now();
            });
            go.set_value();
            session.join();
            other.join();
        },
        "two exchanges");
    EXPECT_EQ(statuses[0], 0xAA);
    EXPECT_EQ(statuses[1], 0xAA);
    const auto gap = ends[0] > ends[1] ? ends[0] - ends[1] : ends[1] - ends[0];
    EXPECT_GE(duration_cast<milliseconds>(gap).count(), 250);  // one after the other, not together
    const auto writes = link.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_GE(duration_cast<milliseconds>(writes[1].when - writes[0].when).count(), 290);
}

TEST_F(Engine, DeviceInfoCopiesSixteenPayloadBytesOnlyOnSuccess) {
    Bytes payload;
    for (int i = 0; i < 16; ++i) payload.push_back(static_cast<BYTE>(0xF0 + i));
    link.SetReply('D', MakeFrame(0x5A, payload));
    BYTE record[16] = {};
    EXPECT_EQ(engine.GetDeviceInfo(record), 0x5A);
    EXPECT_EQ(Bytes(record, record + 16), payload);

    BYTE untouched[16];
    std::fill(std::begin(untouched), std::end(untouched), BYTE{0x11});
    link.SetReply('D', MakeFrame(0xA8));
    EXPECT_EQ(engine.GetDeviceInfo(untouched), 0xA8);
    EXPECT_EQ(Bytes(untouched, untouched + 16), Bytes(16, 0x11));
}

TEST_F(Engine, DeviceInfoWithAShortPayloadFailsWithoutReadingStaleBytes) {
    Bytes longPayload(40, 0x77);
    link.SetReply('D', MakeFrame(0x5A, longPayload));
    BYTE record[16] = {};
    ASSERT_EQ(engine.GetDeviceInfo(record), 0x5A);  // leaves 0x77 behind in the slots

    BYTE untouched[16];
    std::fill(std::begin(untouched), std::end(untouched), BYTE{0x11});
    link.SetReply('D', MakeFrame(0x5A, Bytes(15, 0x01)));
    EXPECT_EQ(engine.GetDeviceInfo(untouched), 0xA6);
    EXPECT_EQ(Bytes(untouched, untouched + 16), Bytes(16, 0x11));
}

TEST(EngineRealTimeOut, ASilentToolGivesNoReplyAfterFourSeconds) {
    ScriptedLink link;
    CHSProtocol engine(&link);
    ASSERT_TRUE(engine.m_bStarted);
    int status = -1;
    const long long ms = RunWithin(
        20000, [&] { status = engine.SendCommand('A'); }, "exchange");
    EXPECT_EQ(status, 0xAA);
    EXPECT_GE(ms, 3990);
    EXPECT_LT(ms, 8000);
}

TEST(EngineOverrides, WorkersUseTheMostDerivedTests) {
    ScriptedLink link;
    link.SetReadTimeout(20);
    EngineProbe engine(&link, 300, 'o', 0xB2);
    ASSERT_TRUE(engine.m_bStarted);
    link.SetReply('o', MakeFrame(0xB2));
    int status = -1;
    RunWithin(
        20000, [&] { status = engine.SendCommand('o'); }, "exchange");
    EXPECT_EQ(status, 0xB2);
    EXPECT_EQ(link.WrittenBytes(), (Bytes{0x55, 'o', 0x00, 'o'}));
}
}  // namespace
