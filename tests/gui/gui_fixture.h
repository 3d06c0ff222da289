#pragma once
// The fixture of the application's GUI tests, on both backends: a temporary settings home (the key file
// on Linux, the registry's key on Windows), a simulated tool (on a pseudo-terminal as COM1 on Linux, on
// COM3 of the null-modem pair whose COM2 the program opens under Wine), one CQuarvelApp, and the main
// dialog run modally with a script that drives it from inside its own loop. Test thread (the UI thread).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/quarvel_app.h"
#include "app/gui/quarvel_dlg.h"
#include "fault_plan.h"
#include "framework/modal_helpers.h"
#include "simulator.h"
#include "support/temp_config_home.h"
#include "tool_profile.h"
#ifndef _WIN32
#include "support/pty_helpers.h"
#endif

// The port the program reaches the simulated tool on (on Linux the first the Connection dialog offers).
#ifdef _WIN32
inline constexpr const char* kToolPort = "COM2";
#else
inline constexpr const char* kToolPort = "COM1";
#endif

class GuiTest : public ::testing::Test {
public:
    struct MenuEntry {
        UINT flags = MF_STRING;  // MF_STRING, MF_SEPARATOR or MF_POPUP
        UINT id = 0;
        CString text;
        bool checked = false;
    };

protected:
    GuiTest();
    ~GuiTest() override;

    // Creates the settings key with these values (the installer's step).
    void MakeKey(const std::vector<std::pair<std::string, std::string>>& values = {});
    // A stored value's text, "<none>" when absent, "<no key>" without the key.
    std::string Stored(const std::string& name) const;

    // Starts the simulated tool where the program finds it at kToolPort (in place of one started before).
    void StartTool(rk9sim::ToolProfile profile = {}, rk9sim::FaultPlan faults = {});
    // The default tool, each reply `replyDelayMs` late: a session of seven exchanges that takes a while.
    void StartSlowTool(DWORD replyDelayMs);

    // Runs the main dialog modally; `script` runs inside its loop with the dialog's window. When the
    // script returns with the dialog still open, the dialog is ended. Then the application's end of run,
    // which must be done within `exitDeadlineMs`.
    void RunMainDialog(const std::function<void(TestWindow window)>& script,
                       DWORD exitDeadlineMs = CQuarvelApp::kExitDeadlineMs);

    // Inside a script: presses a button of the main dialog (runs its command handler).
    void Press(int id);
    // Presses Connect, picks kToolPort and OK in the "Connection" dialog.
    void ConnectThroughPortDialog();
    // A control of the main dialog: its text as shown (UTF-8).
    std::string Text(int id) const;
    // Waits (spinning the event loop) until the button 1001 reads `label`.
    bool WaitForButton(const std::string& label, int ms = 8000) const;
    // The main dialog's system menu as shown: its items, or those of the submenu at `submenu`. On the
    // Win32 backend the window's real menu, the system's own items first.
    std::vector<MenuEntry> SystemMenu(int submenu = -1) const;
    // The history file of this test's home.
    static std::string HistoryFile();

    TempConfigHome m_home;
    std::unique_ptr<rk9sim::Simulator> m_sim;
#ifndef _WIN32
    std::unique_ptr<testsupport::ScopedPorts> m_ports;
#endif
    std::unique_ptr<CQuarvelApp> m_app;
    std::unique_ptr<CQuarvelDlg> m_dlg;
    TestWindow m_window = nullptr;
};

// The UTF-16 text as std::string for messages (ASCII tests only).
std::string Narrow(const CString& text);
