// Starting and stopping the engine: refused thread starts, teardown that never hangs, double Shutdown.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "engine_probe.h"
#include "platform/threads/placement.h"
#include "platform/threads/thread.h"
#include "support/deadline.h"
#include "support/scripted_link.h"
#include "support/thread_count.h"

namespace {
using namespace std::chrono_literals;

// Refuses the nth thread start (1-based) and lets the others through.
class RefuseNthStart {
public:
    explicit RefuseNthStart(int n) : m_n(n) {
        SetThreadStartGate([this] { return ++m_starts != m_n; });
    }
    ~RefuseNthStart() { SetThreadStartGate({}); }
    int Starts() const { return m_starts; }

private:
    const int m_n;
    std::atomic<int> m_starts{0};
};

class RefusedStart : public ::testing::TestWithParam<int> {};

TEST_P(RefusedStart, LeavesTheEngineNotStartedAndNoThreadBehind) {
    ScriptedLink link;
    const int before = BaselineThreadCount();
    {
        RefuseNthStart gate(GetParam());
        auto engine = std::make_unique<CHSProtocol>(&link, 300);
        EXPECT_FALSE(engine->m_bStarted);
        EXPECT_EQ(gate.Starts(), 3);                // every start is attempted
        EXPECT_EQ(engine->SendCommand('A'), 0xAA);  // answered at once, never hangs
        RunWithin(
            10000, [&] { engine.reset(); }, "teardown of an engine that did not start");
    }
    EXPECT_TRUE(WaitForThreadCountAtMost(before, 5000));
    EXPECT_TRUE(link.Writes().empty());
}
INSTANTIATE_TEST_SUITE_P(EachWorker, RefusedStart, ::testing::Values(1, 2, 3));

TEST(EngineStart, RefusedReceiverStartDoesNotTouchTheLink) {
    ScriptedLink link;
    RefuseNthStart gate(1);
    { CHSProtocol engine(&link, 300); }
    EXPECT_EQ(link.CancelCalls(), 0);
    EXPECT_EQ(link.ReadCalls(), 0u);
}

TEST(EngineStart, StartedEngineLeavesNoThreadAfterDestruction) {
    ScriptedLink link;
    const int before = BaselineThreadCount();
    {
        CHSProtocol engine(&link, 300);
        ASSERT_TRUE(engine.m_bStarted);
        EXPECT_GE(CountThreads(), before + 3);
    }
    EXPECT_TRUE(WaitForThreadCountAtMost(before, 5000));
}

// The receive, engine and keep-alive threads are kept on the processor the starting thread runs on (the
// starting thread itself is not placed); QUARVEL_NO_AFFINITY=1 leaves all of them to the system.
TEST(EngineStart, TheThreeWorkersShareOneProcessorUnlessPlacementIsOff) {
    for (const bool off : {false, true}) {
        SCOPED_TRACE(off ? "QUARVEL_NO_AFFINITY=1" : "placement on");
#ifdef _WIN32
        _putenv_s("QUARVEL_NO_AFFINITY", off ? "1" : "");
#else
        off ? setenv("QUARVEL_NO_AFFINITY", "1", 1) : unsetenv("QUARVEL_NO_AFFINITY");
#endif
        std::mutex mutex;
        std::vector<std::pair<int, bool>> placed;
        SetThreadPlacementObserver([&](int processor, bool granted) {
            std::lock_guard lock(mutex);
            placed.emplace_back(processor, granted);
        });
        {
            // Each worker places itself as its first act; the teardown waits for all three to finish.
            ScriptedLink link;
            CHSProtocol engine(&link, 300);
            ASSERT_TRUE(engine.m_bStarted);
        }
        SetThreadPlacementObserver({});
        if (off) {
            EXPECT_TRUE(placed.empty()) << placed.size() << " placements";
        } else {
            ASSERT_EQ(placed.size(), 3u);
            for (const auto& [processor, granted] : placed) {
                EXPECT_EQ(processor, placed[0].first);
                EXPECT_GE(processor, 0);
                EXPECT_TRUE(granted);
            }
        }
    }
#ifdef _WIN32
    _putenv_s("QUARVEL_NO_AFFINITY", "");
#else
    unsetenv("QUARVEL_NO_AFFINITY");
#endif
}

TEST(EngineTeardown, IdleEngineStopsPromptlyDespiteALongReadTimeOut) {
    ScriptedLink link;
    link.SetReadTimeout(30000);
    auto engine = std::make_unique<CHSProtocol>(&link, 300);
    ASSERT_TRUE(link.WaitForPendingRead(1, 2000));
    const long long ms = RunWithin(
        10000, [&] { engine.reset(); }, "engine teardown");
    EXPECT_LT(ms, 1000);
}

TEST(EngineTeardown, ReceiveThreadBlockedInPutIsReleased) {
    ScriptedLink link;
    auto engine = std::make_unique<EngineProbe>(&link, 300);
    // Two unsolicited replies: the first waits in the received-frame slot, the second blocks its Put.
    link.Feed(MakeFrame(0x5A));
    link.Feed(MakeFrame(0xA7));
    ASSERT_TRUE(link.WaitUntilDrained(2000));
    const long long ms = RunWithin(
        10000, [&] { engine.reset(); }, "engine teardown");
    EXPECT_LT(ms, 1000);
}

TEST(EngineTeardown, EngineThreadBlockedOnAFullReplySlotIsReleased) {
    ScriptedLink link;
    link.SetReply('A', MakeFrame(0x5A));
    auto engine = std::make_unique<EngineProbe>(&link, 300);
    engine->PutRawRequest('A');  // its reply fills the reply slot, which nobody empties
    ASSERT_TRUE(link.WaitForRequests('A', 1, 2000));
    engine->PutRawRequest('A');  // the engine thread now waits to put the second reply
    ASSERT_TRUE(link.WaitForRequests('A', 2, 2000));
    ASSERT_TRUE(link.WaitUntilDrained(2000));
    const long long ms = RunWithin(
        10000, [&] { engine.reset(); }, "engine teardown");
    EXPECT_LT(ms, 1000);
}

TEST(EngineTeardown, SecondShutdownDoesNothing) {
    ScriptedLink link;
    EngineProbe engine(&link, 300);
    ASSERT_TRUE(engine.m_bStarted);
    RunWithin(
        10000, [&] { engine.Shutdown(); }, "first shutdown");
    EXPECT_TRUE(engine.EngineFinished());
    EXPECT_TRUE(engine.KeepAliveFinished());
    const int cancels = link.CancelCalls();
    RunWithin(
        10000, [&] { engine.Shutdown(); }, "second shutdown");
    EXPECT_EQ(link.CancelCalls(), cancels);
    EXPECT_EQ(engine.SendCommand('A'), 0xAA);  // a stopped engine answers at once
}
}  // namespace
