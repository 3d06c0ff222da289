#include "app/gui/team_dlg.h"

#include "app/gui/quarvel_app.h"
#include "app/gui/team_text.h"
#include "app/settings/settings_store.h"
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "platform/threads/main_window.h"
#include "team/team_sync.h"
#include "team/team_sync_thread.h"

namespace {
CString Wide(const std::string& utf8) {
    CString text;
    return Utf8ToUtf16(utf8, text) ? text : CString(u"?");
}
}  // namespace

CTeamDlg::CTeamDlg(CQuarvelApp& app, CWnd* pParent) : CDialog(IDD_TEAM, pParent), m_app(app) {
    MapCommand(IDC_TEAM_TEST, [this] { OnTest(); });
    MapCommand(IDC_TEAM_SYNC, [this] { OnSyncNow(); });
    MapMessage(WM_TEAM_TEST_DONE, [this](WPARAM, LPARAM) -> LRESULT {
        OnTestDone();
        return 0;
    });
    MapMessage(WM_TEAM_SYNC_DONE, [this](WPARAM, LPARAM) -> LRESULT {
        OnSyncDone();
        return 0;
    });
}

CTeamDlg::~CTeamDlg() {
    EndTest();
    if (CWinApp* app = AfxGetApp()) {
        app->RouteMessage(WM_TEAM_TEST_DONE, nullptr);
        app->RouteMessage(WM_TEAM_SYNC_DONE, nullptr);
    }
}

BOOL CTeamDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_TEAM_SERVER, Wide(m_app.HistoryServer));
    SetDlgItemText(IDC_TEAM_TECHNICIAN, Wide(TechnicianName(m_app)));
    if (CWinApp* app = AfxGetApp()) {
        app->RouteMessage(WM_TEAM_TEST_DONE, this);
        app->RouteMessage(WM_TEAM_SYNC_DONE, this);
    }
    if (m_app.HistoryServer.empty()) ShowResult(LoadStringW(IDS_TEAM_NO_SERVER));
    if (CWnd* first = GetDlgItem(IDC_TEAM_SERVER)) first->SetFocus();
    return FALSE;
}

CString CTeamDlg::ResultText() const { return GetDlgItemText(IDC_TEAM_RESULT); }

void CTeamDlg::ShowResult(const CString& text) {
    SetDlgItemText(IDC_TEAM_RESULT, text);
    if (CWnd* line = GetDlgItem(IDC_TEAM_RESULT)) line->SetToolTipText(text);
}

bool CTeamDlg::Apply() {
    const std::string server = Utf16ToUtf8(GetDlgItemText(IDC_TEAM_SERVER));
    std::string technician = Utf16ToUtf8(GetDlgItemText(IDC_TEAM_TECHNICIAN));
    CQuarvelAppCore stored;  // the account's own name is not stored: it stays the default
    if (technician == TechnicianName(stored)) technician.clear();
    if (server == m_app.HistoryServer && technician == m_app.Technician) return true;
    if (const int code = SaveTeamSettings(server, technician); code != 0) {
        AfxMessageBox(AfxFormatString2(LoadStringW(IDS_TEAM_NOT_SAVED), Wide(std::to_string(code))), MB_OK);
        return false;
    }
    LoadHistorySettings(m_app);  // as stored (trimmed)
    m_app.StartTeamSync();
    return true;
}

void CTeamDlg::OnOK() {
    if (!Apply()) return;
    CDialog::OnOK();
}

void CTeamDlg::EndTest() {
    if (!m_test.joinable()) return;
    m_stopTest.Wake();
    m_test.join();
    m_stopTest.Reset();
}

void CTeamDlg::OnTest() {
    EndTest();
    ShowResult(LoadStringW(IDS_TEAM_CONNECTING));
    PgConnectOptions options;
    options.conninfo = Utf16ToUtf8(GetDlgItemText(IDC_TEAM_SERVER));
    options.waker = &m_stopTest;
    m_test = std::thread([this, options] {
        std::string summary;
        const TeamError error = TestTeamServer(options, &summary);
        if (error.problem == TeamProblem::Stopped) return;  // the dialog is closing
        {
            std::lock_guard lock(m_mutex);
            m_testError = error;
            m_testSummary = summary;
        }
        PostToMainWindow(WM_TEAM_TEST_DONE, 0, 0);
    });
}

void CTeamDlg::OnTestDone() {
    TeamError error;
    std::string summary;
    {
        std::lock_guard lock(m_mutex);
        error = m_testError;
        summary = m_testSummary;
    }
    ShowResult(error.Failed() ? TeamProblemText(error)
                              : AfxFormatString2(LoadStringW(IDS_TEAM_CONNECTED), Wide(summary)));
}

void CTeamDlg::OnSyncNow() {
    if (!Apply()) return;
    if (m_app.HistoryServer.empty()) {
        ShowResult(LoadStringW(IDS_TEAM_NO_SERVER));
        return;
    }
    m_syncAsked = true;
    ShowResult(LoadStringW(IDS_TEAM_SYNCING));
    m_app.TeamSync().SyncNow();
}

void CTeamDlg::OnSyncDone() {
    if (!m_syncAsked) return;
    const TeamSyncStatus status = m_app.TeamSync().Status();
    if (status.running) return;  // the round asked for has only begun
    m_syncAsked = false;
    ShowResult(status.lastError.Failed() ? TeamProblemText(status.lastError)
                                         : AfxFormatString2(LoadStringW(IDS_TEAM_SYNCED),
                                                            Wide(std::to_string(status.lastCounts.pushed)),
                                                            Wide(std::to_string(status.lastCounts.pulled))));
}
