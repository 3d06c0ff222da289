#include "app/gui/quarvel_dlg.h"

#include <algorithm>

#include "app/gui/about_dlg.h"
#include "app/gui/program_info.h"
#include "app/gui/quarvel_app.h"
#include "app/session/tool_quantities.h"
#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "platform/resource_ids.h"
#include "protocol/protocol_codes.h"
#include "report/report_format.h"

namespace {

constexpr UINT kMaxCycleCounter = 18001;
constexpr UINT kLanguageCount = 4;

// Fills the whole buffer with NULs, then copies at most `limit` units of `text`.
template <std::size_t N>
void PutText(char16_t (&buffer)[N], const CString& text, std::size_t limit) {
    std::fill(std::begin(buffer), std::end(buffer), u'\0');
    const std::size_t count = std::min({text.size(), limit, N - 1});
    std::copy_n(text.begin(), count, buffer);
}

}  // namespace

CQuarvelDlg::CQuarvelDlg(CQuarvelApp* app, CWnd* pParent)
    : CDialog(IDD_QUARVEL_DIALOG, pParent), m_hIcon(AfxLoadIcon(IDR_MAINFRAME)),
      m_pApp(app != nullptr ? app : CQuarvelApp::Current()) {
    MapCommand(IDC_CONNECT, [this] { OnConnect(); });
    MapCommand(IDC_SAVE, [this] { OnSave(); });
    MapMessage(WM_SESSION_STATUS, [this](WPARAM w, LPARAM l) { return OnSessionStatus(w, l); });
    MapMessage(WM_LINK_LOST, [this](WPARAM w, LPARAM l) { return OnLinkLost(w, l); });
}

CQuarvelDlg::~CQuarvelDlg() { m_menuLanguage.DestroyMenu(); }

void CQuarvelDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_CYCLE_COUNTER, m_nCycleCounter);
    DDV_MinMaxUInt(pDX, m_nCycleCounter, 0, kMaxCycleCounter);
    DDX_Text(pDX, IDC_TOTAL_COUNTER, m_nTotalCounter);
    DDX_Text(pDX, IDC_CONTROLLER_SERIAL, m_strControllerSerial);
    DDV_MaxChars(pDX, m_strControllerSerial, 14);
    DDX_Text(pDX, IDC_TOOL_SERIAL, m_strToolSerial);
    DDV_MaxChars(pDX, m_strToolSerial, 20);
    DDX_Text(pDX, IDC_FIRMWARE_VERSION, m_strFirmwareVersion);
    DDV_MaxChars(pDX, m_strFirmwareVersion, 22);
    DDX_Text(pDX, IDC_TOOL_MODEL, m_strToolModel);
    DDV_MaxChars(pDX, m_strToolModel, 19);
    DDX_Text(pDX, IDC_POSITION, m_dPosition);
    DDX_Text(pDX, IDC_FORCE, m_dForce);
    DDX_Text(pDX, IDC_RESULT, m_strResult);
    DDX_Text(pDX, IDC_DIRECTION, m_strDirection);
}

BOOL CQuarvelDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        const CString about = LoadStringW(IDS_ABOUTBOX) + kProgramName + u"...";
        pSysMenu->AppendMenuW(MF_SEPARATOR);
        pSysMenu->AppendMenuW(MF_STRING, IDM_ABOUTBOX, about);

        m_menuLanguage.DestroyMenu();  // a second run of the same dialog object starts afresh
        m_menuLanguage.CreatePopupMenu();
        m_menuLanguage.AppendMenuW(MF_STRING, IDM_LANGUAGE_ENGLISH, LoadStringW(IDS_LANGUAGE_ENGLISH));
        m_menuLanguage.AppendMenuW(MF_STRING, IDM_LANGUAGE_FRENCH, LoadStringW(IDS_LANGUAGE_FRENCH));
        m_menuLanguage.AppendMenuW(MF_STRING, IDM_LANGUAGE_ITALIAN, LoadStringW(IDS_LANGUAGE_ITALIAN));
        m_menuLanguage.AppendMenuW(MF_STRING, IDM_LANGUAGE_BULGARIAN, LoadStringW(IDS_LANGUAGE_BULGARIAN));
        // A stored index outside 0..3 names no item: then nothing carries the check.
        m_menuLanguage.CheckMenuRadioItem(IDM_LANGUAGE_ENGLISH, IDM_LANGUAGE_BULGARIAN,
                                          IDM_LANGUAGE_ENGLISH + static_cast<UINT>(m_pApp->Language),
                                          MF_BYCOMMAND);
        pSysMenu->AppendMenuW(MF_POPUP, reinterpret_cast<UINT_PTR>(m_menuLanguage.m_hMenu),
                              LoadStringW(IDS_LANGUAGE_MENU));
        pSysMenu->AppendMenuW(MF_STRING, IDM_HISTORY, LoadStringW(IDS_HISTORY_MENU));
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowText(kProgramName);
    SendDlgItemMessage(IDC_CONTROLLER_SERIAL, EM_SETREADONLY, TRUE);
    if (CWnd* help = GetDlgItem(ID_HELP)) help->ShowWindow(SW_HIDE);

    TransferRecord(FALSE);
    UpdateData(FALSE);

    if (CWnd* model = GetDlgItem(IDC_TOOL_MODEL)) model->SetFocus();
    return FALSE;
}

void CQuarvelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0u) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else if ((nID & 0xFFF0u) == IDM_HISTORY) {
        m_pApp->ShowHistory(TextOf(m_shown.ToolSerial));
    } else if (nID >= IDM_LANGUAGE_ENGLISH && nID < IDM_LANGUAGE_ENGLISH + kLanguageCount) {
        OnLanguage(static_cast<int>(nID - IDM_LANGUAGE_ENGLISH));
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CQuarvelDlg::OnLanguage(int index) {
    if (m_pApp->Language == index) return;
    // The choice counts only once it is stored, so choosing it again after a failed write tries again.
    if (SaveLanguage(index) != 0) return;
    m_pApp->Language = index;
    m_menuLanguage.CheckMenuRadioItem(IDM_LANGUAGE_ENGLISH, IDM_LANGUAGE_BULGARIAN,
                                      IDM_LANGUAGE_ENGLISH + static_cast<UINT>(index), MF_BYCOMMAND);
    AfxMessageBox(IDS_RESTART_FOR_SETTINGS, MB_OK);
}

void CQuarvelDlg::OnOK() {
    UpdateData(TRUE);  // the result does not matter: CDialog::OnOK reads (and checks) once more
    CDialog::OnOK();
}

void CQuarvelDlg::OnCancel() {
    UpdateData(TRUE);
    CDialog::OnCancel();
}

void CQuarvelDlg::OnConnect() {
    UpdateData(TRUE);
    m_pApp->ToggleConnection();
}

void CQuarvelDlg::OnSave() {
    UpdateData(TRUE);  // a counter out of range has shown its message; the save goes on
    TransferRecord(TRUE);
    m_pApp->SaveReport([this] { return RecordForReport(); });
}

void CQuarvelDlg::TransferRecord(BOOL toRecord) {
    if (toRecord) {
        CopyDisplayInto(m_shown);
        // While a session thread fills the record it is that thread's alone: the display's values stay
        // with the dialog's copy instead of overwriting what the tool has just sent.
        if (!m_pApp->IsSessionThreadActive()) {
            m_pApp->UpdateRecord([this](ToolRecord& record) { CopyDisplayInto(record); });
        }
        return;
    }
    const ToolRecord record = m_pApp->SnapshotRecord();
    m_shown = record;
    m_nCycleCounter = record.CycleCounter;
    m_nTotalCounter = record.TotalCounter;
    m_strControllerSerial = TextOf(record.ControllerSerial);
    m_strToolSerial = TextOf(record.ToolSerial);
    m_strFirmwareVersion = TextOf(record.FirmwareVersion);
    m_strToolModel = TextOf(record.ToolModel);
    m_dPosition = DisplayStopPositionMm(record.PositionCounts);
    m_dForce = ForceKn(record);
    m_nFlags = static_cast<int>(record.CycleFlags);
    m_strResult = LoadStringW(ResultStringId(record.CycleFlags));
    m_strDirection = LoadStringW(DirectionStringId(record.CycleFlags));
}

void CQuarvelDlg::CopyDisplayInto(ToolRecord& record) const {
    record.CycleCounter = m_nCycleCounter;
    record.TotalCounter = m_nTotalCounter;
    PutText(record.ControllerSerial, m_strControllerSerial, 14);
    PutText(record.ToolSerial, m_strToolSerial, 20);
    PutText(record.FirmwareVersion, m_strFirmwareVersion, 22);
    PutText(record.ToolModel, m_strToolModel, 19);
}

ToolRecord CQuarvelDlg::RecordForReport() {
    // What the window shows when the file is written: the record it last displayed, with the fields the
    // person may edit as read from the controls. Never the application's record, which a failed session
    // (or one still reading) may have filled with values nobody saw. A session that completed while the
    // Save-As dialog was open has refreshed the display, and with it these members, by now.
    ToolRecord record = m_shown;
    CopyDisplayInto(record);
    return record;
}

LRESULT CQuarvelDlg::OnSessionStatus(WPARAM wParam, LPARAM) {
    switch (m_pApp->HandleSessionStatus(wParam)) {
        case CQuarvelSession::StatusReaction::ShowRecord:
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_DISCONNECT));
            TransferRecord(FALSE);
            UpdateData(FALSE);
            m_pApp->KeepInHistory(m_shown);
            break;
        case CQuarvelSession::StatusReaction::ShowFailed:
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_CONNECT));
            AfxMessageBox(IDS_LINK_NOT_ESTABLISHED, MB_OK);
            m_pApp->ReleaseLink();
            break;
        case CQuarvelSession::StatusReaction::ShowUnknown:
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_CONNECT));
            AfxMessageBox(IDS_UNKNOWN_DEVICE, MB_OK);
            m_pApp->ReleaseLink();
            break;
        case CQuarvelSession::StatusReaction::ShowClosed:
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_CONNECT));
            AfxMessageBox(IDS_DISCONNECTED, MB_OK);
            break;
        case CQuarvelSession::StatusReaction::Nothing:
            break;
    }
    return 0;
}

LRESULT CQuarvelDlg::OnLinkLost(WPARAM, LPARAM) {
    // A loss reported by an engine that is already gone (posted just before a Disconnect released it)
    // has nothing left to drop and must not announce "Disconnected" a second time.
    if (m_pApp->Engine == nullptr && !m_pApp->SessionRunning) return 0;
    // While a session still reads, the core defers the drop to the handling of that session's status.
    m_pApp->DropLink();
    return 0;
}
