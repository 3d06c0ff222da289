// Connect and Disconnect against rk9-sim on a pseudo-terminal: the display after a read, the saved port
// and speed, every failing outcome, link loss, the Disconnect question, and presses and closes while a
// session still reads.

#include <chrono>

#include "framework/afx.h"
#include "gui/gui_fixture.h"
#include "platform/threads/main_window.h"
#ifndef _WIN32
#include "support/spawned_program.h"
#endif
#include "protocol/protocol_codes.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Texts(const MessageBoxRecorder& boxes) {
    std::vector<std::string> texts;
    for (const auto& box : boxes.boxes) texts.push_back(Narrow(box.text));
    return texts;
}

// Fails (instead of hanging) when a dialog other than the main one opens from the next event loop on.
void ExpectNoNewDialog(TestWindow mainWindow) {
    WhenModal([mainWindow](TestWindow modal) {
        if (modal != nullptr && modal != mainWindow) {
            ADD_FAILURE() << "a dialog opened: " << Narrow(WindowCaption(modal));
            Click(modal, IDCANCEL);
        }
    });
}

TEST_F(GuiTest, ConnectShowsTheToolsRecordAndStoresThePortAndSpeed) {
    MakeKey();
    rk9sim::ToolProfile tool;
    tool.nPositionCounts = 4662;
    tool.nForceReading = 500;
    tool.nForceFactor = 3;
    tool.nForceDivisor = 2;
    tool.nCycleFlags = 4;
    tool.nCycleCounter = 18001;
    tool.nTotalCounter = 2147483648u;
    StartTool(tool);
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        EXPECT_TRUE(m_app->Connected);
        EXPECT_FALSE(m_app->SessionRunning);
        EXPECT_EQ(Text(IDC_TOOL_MODEL), "RK-9 Crimp 6mm2");
        EXPECT_EQ(Text(IDC_TOOL_SERIAL), "T-417");
        EXPECT_EQ(Text(IDC_CONTROLLER_SERIAL), "C-981");
        EXPECT_EQ(Text(IDC_FIRMWARE_VERSION), "1.04");
        EXPECT_EQ(Text(IDC_CYCLE_COUNTER), "18001");
        EXPECT_EQ(Text(IDC_TOTAL_COUNTER), "2147483648");
        EXPECT_EQ(Text(IDC_POSITION), "50.62");
        EXPECT_EQ(Text(IDC_FORCE), "0.75");
        EXPECT_EQ(Text(IDC_RESULT), "Successful cycle");
        EXPECT_EQ(Text(IDC_DIRECTION), "Forward");
        EXPECT_EQ(WindowCaption(m_window), u"Quarvel");  // current values: no mark
        EXPECT_FALSE(IsDimmed(m_window, IDC_TOOL_MODEL));
        EXPECT_EQ(Stored("COM"), kToolPort);
        EXPECT_EQ(Stored("SPEED"), "9");
        EXPECT_NE(m_app->Engine, nullptr);
        EXPECT_NE(m_app->Port, nullptr);
    });
    EXPECT_EQ(m_app->Engine, nullptr);  // released at the end of the run, engine before port
    EXPECT_EQ(m_app->Port, nullptr);
    const auto counts = m_sim->Counts();
    for (BYTE code : {CMD_DEVICE_INFO, CMD_ATTACH, CMD_CYCLE_DATA, CMD_CONTROLLER_SERIAL, CMD_TOOL_SERIAL,
                      CMD_FIRMWARE_VERSION, CMD_TOOL_MODEL}) {
        EXPECT_EQ(counts.count(code) ? counts.at(code) : 0u, 1u) << char(code);
    }
}

TEST_F(GuiTest, AnUnknownModelIsRefusedWithItsMessageAndTheLinkReleased) {
    rk9sim::ToolProfile tool;
    tool.strModel = "rk-9";
    StartTool(tool);
    RunMainDialog([&](TestWindow) {
        MessageBoxRecorder boxes(IDOK);
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitUntil([&] { return !boxes.boxes.empty(); }, 8000));
        EXPECT_EQ(Texts(boxes), std::vector<std::string>{"Unknown device"});
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");
        EXPECT_FALSE(m_app->Connected);
        EXPECT_FALSE(m_app->SessionRunning);
        EXPECT_EQ(m_app->Engine, nullptr);
        EXPECT_EQ(m_app->Port, nullptr);
        EXPECT_EQ(Text(IDC_TOOL_SERIAL), "");
    });
    EXPECT_EQ(m_sim->Counts().count(CMD_ATTACH), 0u);
}

TEST_F(GuiTest, AFailedSessionShowsItsMessageKeepsThePreviousDisplayAndReleasesTheLink) {
    rk9sim::FaultPlan faults;
    faults.failStatus[CMD_TOOL_SERIAL] = 0xA7;
    StartTool({}, faults);
    RunMainDialog([&](TestWindow) {
        // The link is released before the message shows: while it is open no port, engine or keep-alive
        // is left, so the tool falling silent then can bring no "Disconnected" after it.
        bool releasedFirst = false;
        MessageBoxRecorder boxes([&](const MessageBoxRequest&) {
            releasedFirst = m_app->Port == nullptr && m_app->Engine == nullptr;
            WaitUntil([] { return false; },
                      300);  // a request written before the release may still be on its way
            const std::size_t before = m_sim->Requests().size();
            WaitUntil([] { return false; }, 1500);  // longer than the keep-alive's pause
            EXPECT_EQ(m_sim->Requests().size(), before) << "something still talks to the tool";
            return IDOK;
        });
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitUntil([&] { return !boxes.boxes.empty() && m_app->Port == nullptr; }, 8000));
        EXPECT_TRUE(releasedFirst);
        ProcessPending();
        EXPECT_EQ(Texts(boxes), std::vector<std::string>{"Link with the tool was not estabilished."});
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");
        EXPECT_EQ(m_app->Engine, nullptr);
        // The display was not refreshed, though the record holds what arrived before the failure.
        EXPECT_EQ(Text(IDC_CYCLE_COUNTER), "0");
        EXPECT_EQ(Text(IDC_CONTROLLER_SERIAL), "");
        EXPECT_EQ(m_app->SnapshotRecord().CycleCounter, 152u);
    });
}

TEST_F(GuiTest, ALostLinkReleasesItAndSaysDisconnected) {
    rk9sim::FaultPlan faults;
    faults.silentAfter = 8;  // the session's seven exchanges and one keep-alive, then silence
    StartTool({}, faults);
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        MessageBoxRecorder boxes(IDOK);
        // The keep-alive's reply time-out is 4000 ms, after a pause of about a second.
        ASSERT_TRUE(WaitUntil([&] { return !boxes.boxes.empty(); }, 15000));
        EXPECT_EQ(Texts(boxes), std::vector<std::string>{"Disconnected"});
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");
        EXPECT_FALSE(m_app->Connected);
        EXPECT_EQ(m_app->Engine, nullptr);
        EXPECT_EQ(m_app->Port, nullptr);
        EXPECT_EQ(Text(IDC_TOOL_SERIAL), "T-417");  // the last display stays
    });
}

TEST_F(GuiTest, DisconnectAnsweredNoKeepsTheLinkAliveAndYesReleasesIt) {
    StartTool();
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        {
            MessageBoxRecorder boxes(IDNO);
            Press(IDC_CONNECT);
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(Narrow(boxes.boxes[0].text), "Are you sure you want to disconnect from the tool?");
            EXPECT_EQ(boxes.boxes[0].type, MB_YESNO | MB_ICONQUESTION);
        }
        EXPECT_TRUE(m_app->Connected);
        EXPECT_NE(m_app->Engine, nullptr);
        const std::size_t before = m_sim->Requests().size();
        EXPECT_TRUE(m_sim->WaitForRequests(before + 2, 5000ms)) << "the keep-alive stopped";

        MessageBoxRecorder boxes(IDYES);
        Press(IDC_CONNECT);
        ASSERT_TRUE(WaitUntil([&] { return boxes.boxes.size() == 2; }));
        EXPECT_EQ(Narrow(boxes.boxes[1].text), "Disconnected");
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");
        EXPECT_FALSE(m_app->Connected);
        EXPECT_EQ(m_app->Engine, nullptr);
        EXPECT_EQ(m_app->Port, nullptr);

        // A loss the released engine had posted just before is stale: no second "Disconnected".
        PostToMainWindow(WM_LINK_LOST, 0, 0);
        ProcessPending();
        ProcessPending();
        EXPECT_EQ(boxes.boxes.size(), 2u);

        // And the tool can be read again.
        ConnectThroughPortDialog();
        EXPECT_TRUE(WaitForButton("Disconnect"));
    });
    EXPECT_EQ(m_sim->Counts().at(CMD_DEVICE_INFO), 2u);
}

// The Disconnect question left open while the tool falls silent closes by itself: "Disconnected" follows
// with the button reading Connect, and no question about a link that is gone stays behind.
TEST_F(GuiTest, TheDisconnectQuestionClosesWhenTheLinkIsLost) {
    rk9sim::FaultPlan faults;
    faults.silentAfter = 8;
    StartTool({}, faults);
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        std::vector<std::string> texts;
        MessageBoxRecorder boxes([&](const MessageBoxRequest& request) {
            texts.push_back(Narrow(request.text));
            if ((request.type & MB_TYPEMASK) != MB_YESNO) return IDOK;
            // The user leaves the question open; the keep-alive meanwhile finds the tool silent.
            WaitUntil([&] { return texts.size() > 1; }, 15000);
            return IDNO;
        });
        Press(IDC_CONNECT);
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[1], "Disconnected");
        EXPECT_EQ(Text(IDC_CONNECT), "Connect");
        EXPECT_FALSE(m_app->Connected);
        EXPECT_FALSE(m_app->IsAskingDisconnect());
    });
}

// While a reading session runs the wait cursor shows over the window; it goes with the session's status.
TEST_F(GuiTest, TheWaitCursorShowsWhileAReadRuns) {
    StartSlowTool(150);
    RunMainDialog([&](TestWindow) {
        EXPECT_FALSE(AfxIsWaitCursorShown());
        ConnectThroughPortDialog();
        ASSERT_TRUE(m_app->SessionRunning);
        EXPECT_TRUE(AfxIsWaitCursorShown());
        ASSERT_TRUE(WaitForButton("Disconnect"));
        EXPECT_FALSE(AfxIsWaitCursorShown());
    });
}

// With nothing to connect to but ports other programs hold, the message names them and why.
TEST_F(GuiTest, NoFreePortNamesThePortsThatAreHeld) {
#ifdef _WIN32
    GTEST_SKIP() << "the prefix's COM ports cannot be held by another process from here";
#else
    StartTool();
    std::string error;
    SpawnedProgram holder;
    ASSERT_TRUE(holder.Start(
        {"/bin/sh", "-c", "exec 3<>\"$0\"; echo ready; exec sleep 60", m_sim->DevicePath()}, {}, &error))
        << error;
    ASSERT_TRUE(holder.WaitForLine("ready", 10000, nullptr));
    RunMainDialog([&](TestWindow) {
        MessageBoxRecorder boxes(IDOK);
        Press(IDC_CONNECT);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        const std::string text = Narrow(boxes.boxes[0].text);
        EXPECT_EQ(text.rfind("There is no any communication ports available.", 0), 0u) << text;
        EXPECT_NE(text.find("These ports are there but could not be opened:\nCOM1 (" + m_sim->DevicePath() +
                            "): held by sleep (process " + std::to_string(holder.Pid()) + ")"),
                  std::string::npos)
            << text;
    });
#endif
}

TEST_F(GuiTest, ConnectWhileASessionStillReadsIsIgnored) {
    StartSlowTool(150);  // the session takes about a second
    RunMainDialog([&](TestWindow window) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(m_app->SessionRunning);
        CHSProtocolApp* engine = m_app->Engine;
        ExpectNoNewDialog(window);
        Press(IDC_CONNECT);
        Press(IDC_CONNECT);
        EXPECT_EQ(m_app->Engine, engine);
        ASSERT_TRUE(WaitForButton("Disconnect"));
        EXPECT_EQ(Text(IDC_TOOL_SERIAL), "T-417");
    });
    EXPECT_EQ(m_sim->Counts().at(CMD_DEVICE_INFO), 1u);
}

// Closing while a slow tool still answers cuts the session short: the session thread ends and the link
// goes at once, long before the seven slow exchanges would have ended (the bound fails otherwise).
TEST_F(GuiTest, ClosingWhileASessionReadsCutsItShortAndReleasesTheLink) {
    StartSlowTool(800);  // about 6 s for the whole session
    RunMainDialog(
        [&](TestWindow) {
            ConnectThroughPortDialog();
            ASSERT_TRUE(m_app->SessionRunning);
            Press(IDCANCEL);
            EXPECT_TRUE(m_dlg->IsEnded());
        },
        2000);
    // RunMainDialog has waited for the session thread and released the link (ASan watches the rest).
    EXPECT_FALSE(m_app->IsSessionThreadActive());
    EXPECT_EQ(m_app->Engine, nullptr);
    EXPECT_EQ(m_app->Port, nullptr);
}

TEST_F(GuiTest, CancelInThePortDialogChangesNothing) {
    MakeKey();
    StartTool();
    RunMainDialog([&](TestWindow) {
        WhenModal([](TestWindow modal) { Click(modal, IDCANCEL); });
        Press(IDC_CONNECT);
        EXPECT_EQ(m_app->Port, nullptr);
        EXPECT_EQ(m_app->Engine, nullptr);
        EXPECT_FALSE(m_app->SessionRunning);
        EXPECT_EQ(m_app->PortNumber, -1);
    });
    EXPECT_EQ(Stored("COM"), "<none>");
    EXPECT_TRUE(m_sim->Requests().empty());
}

}  // namespace
