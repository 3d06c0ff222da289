// The reading session over an in-memory scripted tool: the command order, the model check, the
// keep-alive, what a failure leaves in the record, the one status per session and the release order.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/session/quarvel_session.h"
#include "platform/threads/thread.h"
#include "protocol/hs_protocol_app.h"
#include "session_tool.h"
#include "support/deadline.h"
#include "support/recording_window.h"

namespace {
constexpr DWORD kWaitMs = 10000;

// A session whose engine answers "no reply" after a short time-out, so silent-tool cases stay quick.
class TestSession : public CQuarvelSession {
public:
    DWORD replyTimeoutMs = DEFAULT_REPLY_TIMEOUT_MS;

protected:
    CHSProtocolApp* CreateEngine(CInterface* port) override {
        return new CHSProtocolApp(port, replyTimeoutMs);
    }
};

// A link that notes, as it is destroyed, whether the session's engine was already gone.
class WitnessLink : public ScriptedLink {
public:
    WitnessLink(const CQuarvelSession& app, bool* engineGoneFirst) : m_app(app), m_witness(engineGoneFirst) {}
    ~WitnessLink() override { *m_witness = m_app.Engine == nullptr && m_app.Port == this; }

private:
    const CQuarvelSession& m_app;
    bool* m_witness;
};

std::u16string Text(const char16_t* units) { return units; }

class SessionTest : public ::testing::Test {
protected:
    // Starts a session on a fresh scripted link and waits for its status.
    WPARAM RunOnce(const SessionToolProfile& profile, BYTE failCode = 0) {
        link = new ScriptedLink;
        ScriptTool(*link, profile);
        if (failCode != 0) FailCommand(*link, failCode);
        return Start();
    }
    WPARAM Start() {
        app.Port = link;
        const int before = W().Count(WM_SESSION_STATUS);
        EXPECT_EQ(app.StartSession(), CQuarvelSession::StartOutcome::Started);
        EXPECT_TRUE(W().WaitFor(WM_SESSION_STATUS, before + 1, kWaitMs));
        RunWithin(
            kWaitMs, [&] { app.ReleaseLink(); }, "release after the session");
        // The thread has ended: any second status would be there by now.
        EXPECT_EQ(W().Count(WM_SESSION_STATUS), before + 1);
        const WPARAM code = W().Messages().back().wParam;
        app.HandleSessionStatus(code);
        return code;
    }
    // Reads the request codes before the link goes away.
    WPARAM RunKeepingLink(const SessionToolProfile& profile) {
        link = new ScriptedLink;
        ScriptTool(*link, profile);
        app.Port = link;
        EXPECT_EQ(app.StartSession(), CQuarvelSession::StartOutcome::Started);
        EXPECT_TRUE(W().WaitFor(WM_SESSION_STATUS, 1, kWaitMs));
        return W().Messages().back().wParam;
    }

    RecordingWindow& W() { return *windowPtr; }
    // A new window for each case of a table, so counts start again from zero.
    void FreshWindow() {
        windowPtr.reset();
        windowPtr = std::make_unique<RecordingWindow>();
    }

    std::unique_ptr<RecordingWindow> windowPtr = std::make_unique<RecordingWindow>();

    TestSession app;
    ScriptedLink* link = nullptr;
};
}  // namespace

TEST_F(SessionTest, ReadsTheToolInOrderAndFillsTheRecord) {
    SessionToolProfile p;
    ASSERT_EQ(RunKeepingLink(p), SESSION_OK);
    EXPECT_EQ(link->RequestCodes(), (std::vector<BYTE>{'D', 'A', 'a', 'c', 'e', 'g', 'h'}));
    app.HandleSessionStatus(SESSION_OK);
    EXPECT_TRUE(app.Connected);
    EXPECT_FALSE(app.SessionRunning);
    const ToolRecord r = app.SnapshotRecord();
    EXPECT_EQ(r.DeviceInfo[0], 'R');
    EXPECT_EQ(r.CycleCounter, 152u);
    EXPECT_EQ(r.TotalCounter, 873u);
    EXPECT_EQ(r.PositionCounts, 250u);
    EXPECT_EQ(r.ForceReading, 300u);
    EXPECT_EQ(r.CycleFlags, 5u);
    EXPECT_EQ(r.ForceDivisor, 2u);
    EXPECT_EQ(r.ForceFactor, 3u);
    EXPECT_EQ(Text(r.ControllerSerial), u"C-981");
    EXPECT_EQ(Text(r.ToolSerial), u"T-417");
    EXPECT_EQ(Text(r.FirmwareVersion), u"1.04");
    EXPECT_EQ(Text(r.ToolModel), u"RK-9 Crimp");
    EXPECT_STREQ(r.ExpectedModel, "RK-9");
    RunWithin(kWaitMs, [&] { app.ReleaseLink(); });
}

TEST_F(SessionTest, OtherModelsAreUnknownAndNotAttached) {
    const Bytes refused[] = {{'r', 'k', '-', '9', 0},
                             {'R', 'K', '-', '9', ' ', 0},
                             {'R', 'K', '-', '9', 'X', 0},
                             {'R', 'K', '-', '9', 'R', 'K', '-', '9'}};  // no NUL in the model bytes
    for (const Bytes& model : refused) {
        SessionToolProfile p;
        p.model = model;
        p.flags = 0x20;
        ASSERT_EQ(RunKeepingLink(p), SESSION_UNKNOWN_DEVICE);
        EXPECT_EQ(link->RequestCodes(), std::vector<BYTE>{'D'});
        const ToolRecord r = app.SnapshotRecord();
        EXPECT_EQ(r.DeviceInfo[4], model[4]);  // the received data is kept
        EXPECT_EQ(r.DeviceInfo[14], 0x20);
        EXPECT_EQ(r.CycleCounter, 0u);
        EXPECT_EQ(app.HandleSessionStatus(SESSION_UNKNOWN_DEVICE),
                  CQuarvelSession::StatusReaction::ShowUnknown);
        EXPECT_FALSE(app.Connected);
        RunWithin(kWaitMs, [&] { app.ReleaseLink(); });
        // Each case starts again from one status.
        FreshWindow();
    }
}

TEST_F(SessionTest, KeepAliveRunsOnlyWhenTheToolAsksForIt) {
    SessionToolProfile quiet;
    ASSERT_EQ(RunKeepingLink(quiet), SESSION_OK);
    // The keep-alive interval is one second: two and a half intervals without an 'H' means it is idle.
    EXPECT_FALSE(link->WaitForRequests(CMD_KEEP_ALIVE, 1, 2500));
    RunWithin(kWaitMs, [&] { app.ReleaseLink(); });

    SessionToolProfile asking;
    asking.flags = 0x20 | 0x01;  // other bits are carried, not interpreted
    FreshWindow();
    ASSERT_EQ(RunKeepingLink(asking), SESSION_OK);
    EXPECT_TRUE(link->WaitForRequests(CMD_KEEP_ALIVE, 2, kWaitMs));
    const auto codes = link->RequestCodes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[1], 'A');  // nothing, not even a keep-alive, before Attach
    EXPECT_EQ(W().Count(WM_LINK_LOST), 0);
    RunWithin(kWaitMs, [&] { app.ReleaseLink(); });
}

TEST_F(SessionTest, AFailureKeepsWhatCameBeforeAndOldValuesAfter) {
    SessionToolProfile first;
    ASSERT_EQ(RunOnce(first), SESSION_OK);

    SessionToolProfile second;
    second.cycle = 9;
    second.total = 99;
    second.controller = "C-2";
    second.toolSerial = "T-2";
    second.firmware = "2.0";
    second.toolModel = "M2";
    EXPECT_EQ(RunOnce(second, CMD_TOOL_SERIAL), SESSION_FAILED);
    const ToolRecord r = app.SnapshotRecord();
    EXPECT_EQ(r.CycleCounter, 9u);
    EXPECT_EQ(r.TotalCounter, 99u);
    EXPECT_EQ(Text(r.ControllerSerial), u"C-2");
    EXPECT_EQ(Text(r.ToolSerial), u"T-417");
    EXPECT_EQ(Text(r.FirmwareVersion), u"1.04");
    EXPECT_EQ(Text(r.ToolModel), u"RK-9 Crimp");
    EXPECT_FALSE(app.Connected);
}

TEST_F(SessionTest, ASecondSessionOverwritesExactlyWhatItsCommandsReach) {
    SessionToolProfile first;
    first.flags = 0;
    ASSERT_EQ(RunOnce(first), SESSION_OK);

    SessionToolProfile second;
    second.model = {'R', 'K', '-', '9', 0, 7, 7, 7};
    second.cycle = 1;
    EXPECT_EQ(RunOnce(second, CMD_CYCLE_DATA), SESSION_FAILED);
    ToolRecord r = app.SnapshotRecord();
    EXPECT_EQ(r.DeviceInfo[5], 7);  // 'D' and 'A' answered
    EXPECT_EQ(r.CycleCounter, 152u);
    EXPECT_EQ(Text(r.ControllerSerial), u"C-981");

    EXPECT_EQ(RunOnce(second, CMD_ATTACH), SESSION_FAILED);
    r = app.SnapshotRecord();
    EXPECT_EQ(r.CycleCounter, 152u);

    EXPECT_EQ(RunOnce(second), SESSION_OK);
    EXPECT_EQ(app.SnapshotRecord().CycleCounter, 1u);
}

TEST_F(SessionTest, ASilentToolFailsAfterTheReplyTimeOut) {
    app.replyTimeoutMs = 200;
    link = new ScriptedLink;
    link->SetSilent(true);
    EXPECT_EQ(Start(), SESSION_FAILED);
    EXPECT_EQ(app.SnapshotRecord().DeviceInfo[0], 0);
}

TEST_F(SessionTest, ReleaseDestroysTheEngineBeforeThePort) {
    bool engineGoneFirst = false;
    auto* witness = new WitnessLink(app, &engineGoneFirst);
    ScriptTool(*witness, SessionToolProfile{});
    link = witness;
    EXPECT_EQ(Start(), SESSION_OK);
    EXPECT_TRUE(engineGoneFirst);
    EXPECT_EQ(app.Engine, nullptr);
    EXPECT_EQ(app.Port, nullptr);
    app.ReleaseLink();  // nothing left: nulls are skipped
}

TEST_F(SessionTest, ThreadsThatCannotStartReleaseTheLinkAndPostNothing) {
    // Refusing every thread stops the engine itself; letting its three workers through refuses only
    // the session thread.
    for (const int allowed : {0, 3}) {
        auto started = std::make_shared<std::atomic<int>>(0);
        link = new ScriptedLink;
        app.Port = link;
        SetThreadStartGate([started, allowed] { return started->fetch_add(1) < allowed; });
        const auto outcome = app.StartSession();
        SetThreadStartGate({});
        EXPECT_EQ(outcome, allowed == 0 ? CQuarvelSession::StartOutcome::EngineNotStarted
                                        : CQuarvelSession::StartOutcome::ThreadNotStarted);
        EXPECT_EQ(app.Engine, nullptr);
        EXPECT_EQ(app.Port, nullptr);
        EXPECT_FALSE(app.SessionRunning);
        EXPECT_FALSE(app.IsSessionThreadActive());
        EXPECT_EQ(W().Count(WM_SESSION_STATUS), 0);
    }
    EXPECT_EQ(app.StartSession(), CQuarvelSession::StartOutcome::NoPort);
}

TEST_F(SessionTest, ALinkLostDuringTheReadingIsDroppedAfterTheStatus) {
    link = new ScriptedLink;
    ScriptTool(*link, SessionToolProfile{});
    link->SetReply(CMD_TOOL_MODEL, {});  // the last reply is held back until the test feeds it
    app.Port = link;
    ASSERT_EQ(app.StartSession(), CQuarvelSession::StartOutcome::Started);
    ASSERT_TRUE(link->WaitForRequests(CMD_TOOL_MODEL, 1, kWaitMs));
    EXPECT_FALSE(app.DropLink());  // deferred: the session thread still uses the engine
    EXPECT_NE(app.Engine, nullptr);
    link->Feed(MakeFrame(STATUS_OK, TextPayload("M")));
    ASSERT_TRUE(W().WaitFor(WM_SESSION_STATUS, 1, kWaitMs));
    ASSERT_EQ(W().Messages().back().wParam, SESSION_OK);
    RunWithin(kWaitMs, [&] {
        EXPECT_EQ(app.HandleSessionStatus(SESSION_OK), CQuarvelSession::StatusReaction::Nothing);
    });
    EXPECT_FALSE(app.Connected);
    EXPECT_EQ(app.Engine, nullptr);
    EXPECT_EQ(app.Port, nullptr);
    ASSERT_TRUE(W().WaitFor(WM_SESSION_STATUS, 2, kWaitMs));
    EXPECT_EQ(W().Messages().back().wParam, SESSION_CLOSED);
}

TEST_F(SessionTest, AReaderGetsConsistentSnapshotsWhileTheSessionWrites) {
    link = new ScriptedLink;
    ScriptTool(*link, SessionToolProfile{});
    app.Port = link;
    std::atomic<bool> done{false};
    int torn = 0;
    std::thread reader([&] {
        while (!done.load()) {
            const ToolRecord r = app.SnapshotRecord();
            // The seven values arrive together: either none of them is there yet or all are.
            if ((r.CycleCounter == 0) != (r.ForceFactor == 0)) ++torn;
            std::this_thread::yield();
        }
    });
    ASSERT_EQ(app.StartSession(), CQuarvelSession::StartOutcome::Started);
    EXPECT_TRUE(W().WaitFor(WM_SESSION_STATUS, 1, kWaitMs));
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    RunWithin(kWaitMs, [&] { app.ReleaseLink(); });
}

TEST_F(SessionTest, DisconnectReleasesAndPostsClosed) {
    ASSERT_EQ(RunKeepingLink(SessionToolProfile{}), SESSION_OK);
    app.HandleSessionStatus(SESSION_OK);
    RunWithin(kWaitMs, [&] { app.Disconnect(); });
    EXPECT_FALSE(app.Connected);
    EXPECT_EQ(app.Engine, nullptr);
    ASSERT_TRUE(W().WaitFor(WM_SESSION_STATUS, 2, kWaitMs));
    EXPECT_EQ(W().Messages().back().wParam, SESSION_CLOSED);
    EXPECT_EQ(app.HandleSessionStatus(SESSION_CLOSED), CQuarvelSession::StatusReaction::ShowClosed);
}
