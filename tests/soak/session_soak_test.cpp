// Session soak: 300 Connect/Disconnect cycles against a fresh simulated tool each, two in three through the
// session core (StartSession, the session thread, HandleSessionStatus, Disconnect / DropLink / ReleaseLink)
// and one in three through quarvel-cli's read path in-process, with a fault drawn for each cycle (silence
// or a hang-up part-way, failure statuses, wrong checksums, foreign reply types, an unknown model, noise on
// the line, a hang-up while linked). Each session must post exactly one status, the one its fault implies,
// and every cycle must leave no thread and no file descriptor behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/session/quarvel_session.h"
#include "cli_exit.h"
#include "cli_main_window.h"
#include "cli_run.h"
#include "protocol/hs_protocol_app.h"
#include "serial/modem.h"
#include "simulator.h"
#include "soak_watchdog.h"
#include "support/process_stats.h"
#include "support/pty_helpers.h"
#include "support/recording_window.h"
#include "support/temp_config_home.h"
#include "support/thread_count.h"

namespace {

using namespace std::chrono_literals;

constexpr int kCycles = 300;
// Short, so that the silent cycles cost little, with room for replies sent byte by byte on a busy machine.
constexpr DWORD kReplyTimeoutMs = 250;
constexpr BYTE kSessionCodes[] = {'D', 'A', 'a', 'c', 'e', 'g', 'h'};

enum class Ending { Disconnect, DisconnectLater, HangUpWhileLinked };

struct Cycle {
    rk9sim::ToolProfile profile;
    rk9sim::FaultPlan plan;
    WPARAM expected = SESSION_OK;
    Ending ending = Ending::Disconnect;
    std::string what;
};

Cycle DrawCycle(std::mt19937& random) {
    Cycle c;
    c.plan.nSeed = random();
    const BYTE code = kSessionCodes[random() % std::size(kSessionCodes)];
    // The session has seven exchanges; the keep-alive's first 'H' may fall among them after 'A'. Silence
    // or a hang-up from exchange k <= 6 on therefore always fails the session.
    const std::uint32_t k = random() % 7;
    switch (random() % 11) {
        case 0:
            c.what = "silent after " + std::to_string(k);
            c.plan.silentAfter = k;
            c.expected = SESSION_FAILED;
            break;
        case 1:
            c.what = "hang-up after " + std::to_string(k);
            c.plan.hangUpAfter = k;
            c.expected = SESSION_FAILED;
            break;
        case 2:
            c.what = std::string("fail status on ") + static_cast<char>(code);
            c.plan.failStatus[code] = static_cast<BYTE>(STATUS_FAILURE_FIRST + random() % 13);
            c.expected = SESSION_FAILED;
            break;
        case 3:
            c.what = std::string("bad checksum on ") + static_cast<char>(code);
            c.plan.badChecksumCodes = {code};
            c.expected = SESSION_FAILED;
            break;
        case 4:
            c.what = std::string("foreign type on ") + static_cast<char>(code);
            c.plan.badTypeCodes = {code};
            c.expected = SESSION_FAILED;
            break;
        case 5:
            c.what = "unknown model";
            c.profile.strModel = "RK-7";
            c.expected = SESSION_UNKNOWN_DEVICE;
            break;
        case 6:
            c.what = "keep-alive refused";
            c.plan.failStatus['H'] = 0xA9;
            break;
        case 7:
            c.what = "noise";
            c.plan.nGarbageBytes = 1 + random() % 20;
            c.plan.nNotifications = random() % 3;
            break;
        case 8:
            c.what = "split bytes";
            c.plan.nByteDelayUs = 20 + random() % 100;
            break;
        case 9:
            c.what = "no keep-alive";
            c.profile.nDeviceFlags = 0;
            break;
        default:
            c.what = "clean";
            break;
    }
    if (c.expected == SESSION_OK) {
        const bool keepAlive = (c.profile.nDeviceFlags & rk9sim::kKeepAliveFlag) != 0;
        const auto r = random() % 10;
        c.ending = r < 2 && keepAlive ? Ending::HangUpWhileLinked
                   : r < 6            ? Ending::DisconnectLater
                                      : Ending::Disconnect;
    }
    return c;
}

class ShortTimeoutSession : public CQuarvelSession {
protected:
    CHSProtocolApp* CreateEngine(CInterface* port) override {
        return new CHSProtocolApp(port, kReplyTimeoutMs);
    }
};

// The CLI's window, counting the session statuses posted to it.
class CountingCliWindow : public CCliMainWindow {
public:
    void PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_SESSION_STATUS && wParam != SESSION_CLOSED) ++m_nStatuses;
        CCliMainWindow::PostMessageW(message, wParam, lParam);
    }
    std::atomic<int> m_nStatuses{0};
};

int SessionStatuses(const RecordingWindow& window) {
    int n = 0;
    for (const PostedMessage& m : window.Messages())
        n += m.message == WM_SESSION_STATUS && m.wParam != SESSION_CLOSED;
    return n;
}

WPARAM FirstStatus(const RecordingWindow& window) {
    for (const PostedMessage& m : window.Messages()) {
        if (m.message == WM_SESSION_STATUS && m.wParam != SESSION_CLOSED) return m.wParam;
    }
    return 99;
}

void RunThroughSession(rk9sim::Simulator& sim, const Cycle& c) {
    RecordingWindow window;
    ShortTimeoutSession app;
    auto modem = std::make_unique<CModem>();
    ASSERT_TRUE(modem->Open("baud=9600 parity=N data=8 stop=1", 1, 2000));
    ASSERT_TRUE(modem->SetMode("baud=115200 parity=N data=8 stop=1"));
    app.Port = modem.release();
    ASSERT_EQ(app.StartSession(), CQuarvelSession::StartOutcome::Started);
    ASSERT_TRUE(window.WaitFor(WM_SESSION_STATUS, 1, 10000)) << "no session status";
    const WPARAM status = FirstStatus(window);
    EXPECT_EQ(status, c.expected);
    const auto reaction = app.HandleSessionStatus(status);
    if (reaction != CQuarvelSession::StatusReaction::ShowRecord) {
        app.ReleaseLink();
    } else if (c.ending == Ending::HangUpWhileLinked) {
        sim.HangUpNow();
        // The keep-alive notices within its pause (1 s) plus one reply time-out.
        ASSERT_TRUE(window.WaitFor(WM_LINK_LOST, 1, 10000)) << "hang-up while linked not noticed";
        EXPECT_TRUE(app.DropLink());
        EXPECT_TRUE(window.WaitFor(WM_SESSION_STATUS, 2, 2000));
    } else {
        if (c.ending == Ending::DisconnectLater)
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + c.plan.nSeed % 30));
        app.Disconnect();
    }
    EXPECT_EQ(app.Engine, nullptr);
    EXPECT_EQ(app.Port, nullptr);
    EXPECT_EQ(SessionStatuses(window), 1) << "one status per session";
}

void RunThroughCli(const Cycle& c) {
    CountingCliWindow window;
    std::ostringstream out, err;
    CCliConsole console(out, err);
    const int exit =
        RunCli({"read", "--port", "1", "--reply-timeout", std::to_string(kReplyTimeoutMs)}, window, console);
    const int expected = c.expected == SESSION_OK               ? kExitOk
                         : c.expected == SESSION_UNKNOWN_DEVICE ? kExitUnknownDevice
                                                                : kExitSessionFailed;
    EXPECT_EQ(exit, expected) << err.str();
    EXPECT_EQ(window.m_nStatuses.load(), 1) << "one status per session";
    if (expected == kExitOk) {
        EXPECT_NE(out.str().find("RK-9 Crimp 6mm2"), std::string::npos) << out.str();
    }
}

TEST(SessionSoak, ConnectDisconnectCyclesPostOneStatusEachAndLeaveNothingBehind) {
    TempConfigHome home;
    SoakWatchdog watchdog(30s);  // before the baseline: its thread stays for the whole test
    const int threads = BaselineThreadCount();
    const int descriptors = CountOpenDescriptors();
    std::mt19937 random(3001);
    int cli = 0, cycles = 0;
    for (int i = 0; i < kCycles && !HasFailure(); ++i, ++cycles) {
        const Cycle c = DrawCycle(random);
        SCOPED_TRACE("cycle " + std::to_string(i) + ": " + c.what);
        {
            rk9sim::Simulator sim(c.profile, c.plan);
            std::string error;
            ASSERT_TRUE(sim.OpenPty(&error)) << error;
            ASSERT_TRUE(sim.Start());
            testsupport::ScopedPorts ports("1=" + sim.DevicePath());
            if (i % 3 == 2 && c.ending != Ending::HangUpWhileLinked) {
                RunThroughCli(c);
                ++cli;
            } else {
                RunThroughSession(sim, c);
            }
            sim.Stop();
        }
        // The protocol's threads are detached: they end right after setting their finished flags.
        EXPECT_TRUE(WaitForThreadCountAtMost(threads, 5000))
            << CountThreads() << " threads, " << threads << " before";
        EXPECT_EQ(CountOpenDescriptors(), descriptors);
        watchdog.Tick();
    }
    std::printf("session soak: %d cycles, %d through quarvel-cli\n", cycles, cli);
    EXPECT_EQ(cycles, kCycles);
}

}  // namespace
