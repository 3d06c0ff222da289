#include "app/gui/quarvel_app.h"

#include <cstdlib>

#include "app/gui/history_dlg.h"
#include "app/gui/quarvel_dlg.h"
#include "app/gui/team_dlg.h"
#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "ids/resource_ids.h"
#include "serial/dialog/crmodem.h"
#include "serial/modem.h"

CQuarvelApp::CQuarvelApp() : CWinApp(nullptr) {}

CQuarvelApp::~CQuarvelApp() = default;

CQuarvelApp* CQuarvelApp::Current() { return dynamic_cast<CQuarvelApp*>(AfxGetApp()); }

BOOL CQuarvelApp::InitInstance() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    LoadLanguage(*this);
    // Qt's own texts (message-box buttons, the Save-As dialog) follow the module's language.
    AfxLoadQtTranslationsForModule();
    AfxEnableControlContainer();
    LoadPortSettings(*this, PortNumber);
    LoadHistorySettings(*this);
    StartTeamSync();

    {
        CQuarvelDlg dlg(this);
        m_pMainWnd = &dlg;
        dlg.DoModal();
        // The window is gone; no posted message may look for the dialog object from here on.
        m_pMainWnd = nullptr;
        if (!ReleaseAtExit()) {
            // Cannot happen while every exchange ends within its reply time-out. Should it all the same,
            // the engine is left to the process's end rather than destroyed under the running thread.
#ifdef _WIN32
            std::_Exit(0);  // the Windows runtime has no quick_exit; its handles close with the process
#else
            std::quick_exit(0);  // runs the quick-exit handlers (the port's lock file goes)
#endif
        }
    }
    return FALSE;
}

bool CQuarvelApp::ReleaseAtExit(DWORD deadlineMs) {
    // A session still reading is cut short: its exchange in flight ends at once, the thread posts its status
    // (which finds no window and is dropped) and ends. The deadline is for a thread that never would.
    EndReadWaitCursor();
    AbortSession();
    const bool syncEnded = m_teamSync.Stop();
    if (!WaitSessionThreadFor(deadlineMs)) return false;
    ReleaseLink();
    SessionRunning = false;
    Connected = false;
    m_history.Stop();
    return syncEnded;
}

void CQuarvelApp::EndNow(int exitCode) {
    // Nothing of the windows is needed any more: no post may reach them, the link and the history go as
    // at Exit, and the process ends without unwinding the dialogs and boxes that are open.
    SetMainWindow(nullptr);
    ReleaseAtExit(2000);
#ifdef _WIN32
    std::_Exit(exitCode);
#else
    std::quick_exit(exitCode);   // runs the quick-exit handlers (any lock file left goes)
#endif
}

void CQuarvelApp::EndReadWaitCursor() {
    if (!m_bReadWaitCursor) return;
    m_bReadWaitCursor = false;
    EndWaitCursor();
}

void CQuarvelApp::KeepInHistory(const ToolRecord& record) {
    if (!KeepHistory) return;
    const auto* modem = dynamic_cast<const CModem*>(Port);
    m_history.Start();
    HistoryRead read = HistoryReadFromRecord(record, modem ? modem->GetDevicePath() : std::string(),
                                             HistorySpeedOfIndex(SpeedIndex));
    read.technician = m_technician;
    m_history.Submit(std::move(read));
    m_teamSync.Wake();
}

void CQuarvelApp::ShowHistory(const CString& toolSerial) {
    CHistoryDlg dialog(*this, toolSerial);
    dialog.DoModal();
}

void CQuarvelApp::ShowTeam() {
    CTeamDlg dialog(*this);
    dialog.DoModal();
}

void CQuarvelApp::StartTeamSync() {
    m_technician = TechnicianName(*this);  // once: the account's name may take the system a while to look up
    if (HistoryServer.empty()) {
        m_teamSync.Stop();
        return;
    }
    TeamSyncOptions options;
    options.connect.conninfo = HistoryServer;
    options.store.path = m_history.Path();
    options.store.technician = m_technician;
    options.store.busyTimeoutMs = 1000;
    // A read kept a moment ago may still be on its way to the file: the round waits for it briefly.
    options.beforeRound = [this] { m_history.WaitIdle(1000); };
    m_teamSync.Start(std::move(options));
}

void CQuarvelApp::ToggleConnection() {
    if (Connected) {
        ConfirmDisconnect();
    } else {
        Connect();
    }
}

void CQuarvelApp::Connect() {
    // Reading: a session thread uses Engine and Port until its status has been handled. A second Connect
    // now would probe and replace them under it, so the press is ignored; the status is on its way.
    if (SessionRunning || IsSessionThreadActive() || Engine != nullptr || Port != nullptr) return;

    CModem* chosen = nullptr;
    { Crmodem portDialog(SpeedIndex, PortNumber, chosen, SpeedIndex); }
    if (chosen == nullptr) return;  // cancelled, or no port (the dialog has said so)
    Port = chosen;

    SavePortSettings(PortNumber, *this);  // a failed write does not stop the connection
    switch (StartSession()) {
        case StartOutcome::ThreadNotStarted:
            AfxMessageBox(IDS_LINK_NOT_ESTABLISHED, MB_OK);
            break;
        case StartOutcome::Started:  // the outcome arrives as WM_SESSION_STATUS; the wait cursor says so
                                     // meanwhile
            BeginWaitCursor();
            m_bReadWaitCursor = true;
            break;
        case StartOutcome::EngineNotStarted:  // released, silently
        case StartOutcome::NoPort:
        case StartOutcome::Busy:
            break;
    }
}

void CQuarvelApp::ConfirmDisconnect() {
    // A lost link closes the question while it is open (answered No): its answer no longer applies.
    m_bAskingDisconnect = true;
    const int answer = AfxMessageBox(IDS_CONFIRM_DISCONNECT, MB_YESNO);
    m_bAskingDisconnect = false;
    if (answer != IDYES) return;
    // The question's own message loop may have handled a lost link meanwhile: that drop has released
    // the link and announced "Disconnected" already.
    if (!Connected) return;
    CWaitCursor wait;
    Disconnect();
}
