// The keep-alive thread: silent until started, about one 'H' per interval, WM_LINK_LOST once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "protocol/hs_protocol.h"
#include "protocol/protocol_codes.h"
#include "support/deadline.h"
#include "support/recording_window.h"
#include "support/scripted_link.h"

namespace {
using namespace std::chrono_literals;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

TEST(KeepAlive, SendsNothingBeforeItIsStarted) {
    ScriptedLink link;
    link.SetReply('H', MakeFrame(0x5A));
    CHSProtocol engine(&link, 300);
    ASSERT_TRUE(engine.m_bStarted);
    std::this_thread::sleep_for(1500ms);  // the observation window
    EXPECT_EQ(link.CountRequests('H'), 0);
    EXPECT_TRUE(link.Writes().empty());
}

TEST(KeepAlive, PollsAboutOncePerIntervalWithAPromptTool) {
    ScriptedLink link;
    link.SetReply('H', MakeFrame(0x5A));
    CHSProtocol engine(&link, 300);
    engine.StartKeepAlive(1000);
    ASSERT_TRUE(link.WaitForRequests('H', 3, 8000));
    const auto writes = link.Writes();
    for (std::size_t i = 1; i < 3; ++i) {
        const auto gap = duration_cast<milliseconds>(writes[i].when - writes[i - 1].when).count();
        EXPECT_GE(gap, 950);
        EXPECT_LT(gap, 2500);
        EXPECT_EQ(writes[i].bytes, (Bytes{0x55, 'H', 0x00, 'H'}));
    }
}

TEST(KeepAlive, PostsLinkLostOnceWhenTheToolFallsSilentAndThenStops) {
    RecordingWindow window;
    ScriptedLink link;
    link.SetReply('H', MakeFrame(0x5A));
    CHSProtocol engine(&link, 200);
    engine.StartKeepAlive(100);
    ASSERT_TRUE(link.WaitForRequests('H', 2, 5000));
    link.SetSilent(true);
    ASSERT_TRUE(window.WaitFor(WM_LINK_LOST, 1, 5000));
    const int sent = link.CountRequests('H');
    std::this_thread::sleep_for(800ms);  // several intervals and time-outs
    EXPECT_EQ(link.CountRequests('H'), sent);
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].message, 0x801u);
    EXPECT_EQ(window.Messages()[0].wParam, 0u);
    EXPECT_EQ(window.Messages()[0].lParam, 0);
}

TEST(KeepAlive, IgnoresFailureStatusesOtherThanNoReply) {
    RecordingWindow window;
    ScriptedLink link;
    std::atomic<int> calls{0};
    link.SetResponder([&](BYTE) -> Bytes {
        if (++calls % 2 == 0) return MakeFrame(0xA7);  // a failure status from the tool
        return {0x55, 0x5A, 0x00, 0x00};               // bad checksum: 0xA6 from the engine
    });
    CHSProtocol engine(&link, 200);
    engine.StartKeepAlive(20);
    ASSERT_TRUE(link.WaitForRequests('H', 5, 5000));
    EXPECT_EQ(window.Count(WM_LINK_LOST), 0);
}

TEST(KeepAlive, GoesOnPollingWhenThereIsNoMainWindow) {
    ScriptedLink link;
    link.SetSilent(true);
    CHSProtocol engine(&link, 100);
    engine.StartKeepAlive(10);
    EXPECT_TRUE(link.WaitForRequests('H', 3, 5000));
}

TEST(KeepAlive, ShutdownCutsAPauseShort) {
    ScriptedLink link;
    link.SetReply('H', MakeFrame(0x5A));
    auto engine = std::make_unique<CHSProtocol>(&link, 300);
    engine->StartKeepAlive(60000);
    ASSERT_TRUE(link.WaitForRequests('H', 1, 5000));
    const long long ms = RunWithin(
        10000, [&] { engine.reset(); }, "engine teardown");
    EXPECT_LT(ms, 1000);
}

TEST(KeepAlive, ShutdownCutsAnExchangeShortWithoutReportingALostLink) {
    RecordingWindow window;
    ScriptedLink link;
    link.SetSilent(true);
    auto engine = std::make_unique<CHSProtocol>(&link);  // the real 4000 ms reply time-out
    engine->StartKeepAlive(1000);
    ASSERT_TRUE(link.WaitForRequests('H', 1, 5000));
    const long long ms = RunWithin(
        10000, [&] { engine.reset(); }, "engine teardown");
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(window.Count(WM_LINK_LOST), 0);
}
}  // namespace
