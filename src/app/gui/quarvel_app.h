#pragma once
// CQuarvelApp: the one application object of the quarvel program: the framework's CWinApp over the Qt-free
// session core, which owns Engine and Port and holds the tool record. The program defines exactly one, as a
// global built before main runs; tests build their own. UI thread only, except what CQuarvelSession allows
// the session thread.
#include <functional>
#include <string>

#include "app/session/quarvel_session.h"
#include "framework/win_app.h"
#include "history/history_writer.h"
#include "platform/win_types.h"
#include "team/team_sync_thread.h"

// Posted by the team sync thread after each round (wParam: 1 when records were pulled); routed to the
// History or Team history dialog while one is open.
inline constexpr UINT WM_TEAM_SYNC_DONE = 0x8012;

class CQuarvelApp : public CWinApp, public CQuarvelSession {
public:
    CQuarvelApp();
    ~CQuarvelApp() override;

    // The application object, or null when the current one is not a CQuarvelApp.
    static CQuarvelApp* Current();

    // Start: settings, language module, port settings, the main dialog modally, then the link's release.
    // Returns FALSE: the program ran as its main dialog and ends now.
    BOOL InitInstance() override;

    // Button 1001: Connect while not connected (the port dialog, the settings write, the engine and the
    // session thread), Disconnect after the user's confirmation while connected. A press while a session
    // still reads the tool is ignored: its status is on the way and a second engine must not be built
    // under it.
    void ToggleConnection();

    // The Save command: asks for a file (the Save-As dialog opens in the folder of the report saved last
    // in this run, the first time in the documents folder) and writes the record that `recordAtWrite`
    // gives once a file has been chosen (so that what the window came to show while the Save-As dialog was
    // open is what the file holds), as a text report (extension "txt") or as two comma-separated columns
    // (any other extension).
    void SaveReport(const std::function<ToolRecord()>& recordAtWrite);

    // The end of the run: a session still reading is cut short (its exchanges end at once), then it waits
    // (with a deadline) until the session thread is done with the engine and releases Engine and Port.
    // Returns false when the deadline passed; the link is then left alone, since destroying it would pull
    // it from under the running thread. The team sync thread is stopped first (about a second at most);
    // false too when it was still in a host name lookup and left to end with the process.
    bool ReleaseAtExit(DWORD deadlineMs = kExitDeadlineMs);

    // A stop signal (SIGTERM, SIGINT, SIGHUP at a log-out) or the end of the Windows session: whatever
    // dialog or message box is open, the program ends now as Exit would, with the port closed, its lock
    // removed and the history's queued rows written; then the process ends with `exitCode`.
    [[noreturn]] void EndNow(int exitCode);

    // While a reading session runs (from Connect until its status is handled) the wait cursor is shown.
    void EndReadWaitCursor();
    // True while the Disconnect question is open.
    bool IsAskingDisconnect() const { return m_bAskingDisconnect; }

    // After a session that ended SESSION_OK and is shown: the record goes to the history writer (a queue
    // under a mutex; the writer thread does the file work). Nothing when the settings value History is 0.
    void KeepInHistory(const ToolRecord& record);
    // The History command of the window menu: the dialog, on the current tool when one was read.
    void ShowHistory(const CString& toolSerial);
    CHistoryWriter& HistoryWriter() { return m_history; }
    // The Team history command of the window menu.
    void ShowTeam();

    // The team's history: with a server set (HistoryServer), the sync thread runs (stopped and started
    // again with the settings as they are now); without one it stops. After each kept read it is woken.
    void StartTeamSync();
    CTeamSyncThread& TeamSync() { return m_teamSync; }

    // Longer than any session can take: an exchange already in flight plus one that times out.
    static constexpr DWORD kExitDeadlineMs = 20000;

private:
    void Connect();
    // Started on first use, stopped by ReleaseAtExit (and the destructor), after the queued rows are written.
    CHistoryWriter m_history;
    // Started by StartTeamSync at start-up and after the Team history dialog; stopped first by ReleaseAtExit.
    CTeamSyncThread m_teamSync{WM_TEAM_SYNC_DONE};
    std::string m_technician;  // the name on this laptop's records, as StartTeamSync found it
    void ConfirmDisconnect();

    CString m_strReportFolder;  // the folder of the report saved last in this run; empty before
    bool m_bReadWaitCursor = false;
    bool m_bAskingDisconnect = false;
};
