#pragma once
// CTeamDlg: the "Team history..." dialog (template 7200): the team's history server (a libpq connection
// string) and the technician's name, with Test connection and Sync now. OK keeps both in the settings key
// and restarts the window's sync thread with them; Sync now does the same first, then asks for a round.
// Passwords are never kept here (libpq's password file or PGPASSWORD). UI thread only; a local object of
// the command.
//
// Test connection runs on a thread of the dialog (its result comes back as WM_TEAM_TEST_DONE); closing
// the dialog wakes it and waits for it, which its interruptible waits keep short. A round's end comes as
// the sync thread's WM_TEAM_SYNC_DONE, routed here while the dialog is open.
#include <mutex>
#include <string>
#include <thread>

#include "framework/dialog.h"
#include "platform/net/socket_wait.h"
#include "team/team_error.h"

class CQuarvelApp;

inline constexpr UINT WM_TEAM_TEST_DONE = 0x8011;

class CTeamDlg : public CDialog {
public:
    explicit CTeamDlg(CQuarvelApp& app, CWnd* pParent = nullptr);
    ~CTeamDlg() override;

    // The line under the buttons (what the last test or sync said).
    CString ResultText() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    // Stores the two texts and restarts the sync thread with them; false (after a message) when not stored.
    bool Apply();
    void OnTest();
    void OnSyncNow();
    void OnTestDone();
    void OnSyncDone();
    void ShowResult(const CString& text);
    void EndTest();

    CQuarvelApp& m_app;
    std::thread m_test;
    CSocketWaker m_stopTest;
    std::mutex m_mutex;
    TeamError m_testError;      // under m_mutex
    std::string m_testSummary;  // under m_mutex
    bool m_syncAsked = false;   // Sync now waits for the round's end
};
