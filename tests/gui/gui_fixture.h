#pragma once
// The fixture of the application's GUI tests: a temporary settings home with the key in place, an
// rk9-sim tool on a pseudo-terminal as COM1, one CQuarvelApp, and the main dialog run modally with a
// script that drives it from inside its own loop. Test thread (the UI thread) only.
#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/quarvel_app.h"
#include "app/gui/quarvel_dlg.h"
#include "fault_plan.h"
#include "framework/modal_helpers.h"
#include "simulator.h"
#include "support/pty_helpers.h"
#include "support/temp_config_home.h"
#include "tool_profile.h"

class QWidget;

class GuiTest : public ::testing::Test {
protected:
    GuiTest();
    ~GuiTest() override;

    // Creates the settings key with these values (the installer's step).
    void MakeKey(const std::vector<std::pair<std::string, std::string>>& values = {});
    // A stored value's text, "<none>" when absent, "<no key>" without the key.
    std::string Stored(const std::string& name) const;

    // Starts the simulated tool on a new pseudo-terminal and maps COM1 to it.
    void StartTool(rk9sim::ToolProfile profile = {}, rk9sim::FaultPlan faults = {});

    // Runs the main dialog modally; `script` runs inside its loop with the dialog's window. When the
    // script returns with the dialog still open, the dialog is ended. Then the application's end of run.
    void RunMainDialog(const std::function<void(QWidget* window)>& script);

    // Inside a script: presses a button of the main dialog (runs its command handler).
    void Press(int id);
    // Presses Connect and OK in the "Connection" dialog, as a user who takes the offered port.
    void ConnectThroughPortDialog();
    // A control's text as shown.
    QString Text(int id) const;
    // Waits (spinning the event loop) until the button 1001 reads `label`.
    bool WaitForButton(const QString& label, int ms = 8000) const;

    TempConfigHome m_home;
    std::unique_ptr<rk9sim::Simulator> m_sim;
    std::unique_ptr<testsupport::ScopedPorts> m_ports;
    std::unique_ptr<CQuarvelApp> m_app;
    std::unique_ptr<CQuarvelDlg> m_dlg;
    QWidget* m_window = nullptr;
};

// The UTF-16 text as std::string for messages (ASCII tests only).
std::string Narrow(const CString& text);
