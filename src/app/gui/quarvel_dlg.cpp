#include "app/gui/quarvel_dlg.h"

#include <algorithm>

#include "app/gui/about_dlg.h"
#include "app/gui/program_info.h"
#include "app/gui/quarvel_app.h"
#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "ids/resource_ids.h"
#include "platform/text/code_page.h"
#include "platform/text/local_time.h"
#include "protocol/protocol_codes.h"
#include "record/tool_quantities.h"
#include "report/report_format.h"

namespace {

constexpr UINT kMaxCycleCounter = 18001;
constexpr UINT kLanguageCount = 4;

// The fields that show a reading.
constexpr int kDataFields[] = {
    IDC_TOOL_MODEL, IDC_TOOL_SERIAL, IDC_CONTROLLER_SERIAL, IDC_FIRMWARE_VERSION, IDC_RESULT, IDC_POSITION,
    IDC_DIRECTION,  IDC_FORCE,       IDC_TOTAL_COUNTER,     IDC_CYCLE_COUNTER};

// Fills the whole buffer with NULs, then copies as many units of `text` as it holds before its NUL.
template <std::size_t N>
void PutText(char16_t (&buffer)[N], const CString& text) {
    std::fill(std::begin(buffer), std::end(buffer), u'\0');
    std::copy_n(text.begin(), std::min(text.size(), N - 1), buffer);
}

}  // namespace

CQuarvelDlg::CQuarvelDlg(CQuarvelApp* app, CWnd* pParent)
    : CDialog(IDD_QUARVEL_DIALOG, pParent),
      m_hIcon(AfxLoadIcon(IDR_MAINFRAME)),
      m_pApp(app != nullptr ? app : CQuarvelApp::Current()) {
    MapCommand(IDC_CONNECT, [this] { OnConnect(); });
    MapCommand(IDC_SAVE, [this] { OnSave(); });
    MapMessage(WM_SESSION_STATUS, [this](WPARAM w, LPARAM l) { return OnSessionStatus(w, l); });
    MapMessage(WM_LINK_LOST, [this](WPARAM w, LPARAM l) { return OnLinkLost(w, l); });
    // Ended from outside: a stop signal, or Windows ending the session (log-off, shut-down).
    MapMessage(WM_QUARVEL_STOP,
               [this](WPARAM signal, LPARAM) -> LRESULT { m_pApp->EndNow(128 + static_cast<int>(signal)); });
    MapMessage(WM_QUERYENDSESSION, [](WPARAM, LPARAM) -> LRESULT { return TRUE; });
    MapMessage(WM_ENDSESSION, [this](WPARAM ending, LPARAM) -> LRESULT {
        if (ending) m_pApp->EndNow(0);
        return 0;
    });
}

CQuarvelDlg::~CQuarvelDlg() { m_menuLanguage.DestroyMenu(); }

void CQuarvelDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_CYCLE_COUNTER, m_nCycleCounter);
    DDV_MinMaxUInt(pDX, m_nCycleCounter, 0, kMaxCycleCounter);
    DDX_Text(pDX, IDC_TOTAL_COUNTER, m_nTotalCounter);
    DDX_Text(pDX, IDC_CONTROLLER_SERIAL, m_strControllerSerial);
    DDV_MaxChars(pDX, m_strControllerSerial, CONTROLLER_SERIAL_UNITS - 1);
    DDX_Text(pDX, IDC_TOOL_SERIAL, m_strToolSerial);
    DDV_MaxChars(pDX, m_strToolSerial, TOOL_SERIAL_UNITS - 1);
    DDX_Text(pDX, IDC_FIRMWARE_VERSION, m_strFirmwareVersion);
    DDV_MaxChars(pDX, m_strFirmwareVersion, FIRMWARE_VERSION_UNITS - 1);
    DDX_Text(pDX, IDC_TOOL_MODEL, m_strToolModel);
    DDV_MaxChars(pDX, m_strToolModel, TOOL_MODEL_UNITS - 1);
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
        pSysMenu->AppendMenuW(MF_STRING, IDM_TEAM, LoadStringW(IDS_TEAM_MENU));
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetWindowText(kProgramName);
    SendDlgItemMessage(IDC_CONTROLLER_SERIAL, EM_SETREADONLY, TRUE);
    if (CWnd* help = GetDlgItem(ID_HELP)) help->ShowWindow(SW_HIDE);

    TransferRecord(FALSE);
    UpdateData(FALSE);
    ShowState(Shown::NotRead);

    if (CWnd* model = GetDlgItem(IDC_TOOL_MODEL)) model->SetFocus();
    return FALSE;
}

void CQuarvelDlg::ShowState(Shown shown) {
    m_eShown = shown;
    for (int id : kDataFields) {
        if (CWnd* field = GetDlgItem(id)) field->ShowDimmed(shown != Shown::Current);
    }
    CString caption = kProgramName;
    if (shown == Shown::NotRead) caption += u" - " + LoadStringW(IDS_CAPTION_NOT_READ);
    if (shown == Shown::Earlier)
        caption += u" - " + AfxFormatString2(LoadStringW(IDS_CAPTION_EARLIER_READ), m_strReadAt);
    SetWindowText(caption);
}

bool CQuarvelDlg::ConfirmSaveOfOldValues() {
    if (m_eShown == Shown::Current) return true;
    const CString question = m_eShown == Shown::NotRead
                                 ? LoadStringW(IDS_SAVE_NOT_READ)
                                 : AfxFormatString2(LoadStringW(IDS_SAVE_EARLIER_READ), m_strReadAt);
    return AfxMessageBox(question, MB_YESNO) == IDYES;
}

void CQuarvelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0u) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else if ((nID & 0xFFF0u) == IDM_HISTORY) {
        m_pApp->ShowHistory(TextOf(m_shown.ToolSerial));
    } else if ((nID & 0xFFF0u) == IDM_TEAM) {
        m_pApp->ShowTeam();
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
    if (!ConfirmSaveOfOldValues()) return;
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
    PutText(record.ControllerSerial, m_strControllerSerial);
    PutText(record.ToolSerial, m_strToolSerial);
    PutText(record.FirmwareVersion, m_strFirmwareVersion);
    PutText(record.ToolModel, m_strToolModel);
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
    if (wParam != SESSION_CLOSED)
        m_pApp->EndReadWaitCursor();  // a reading session's status: the read is over
    const auto reaction = m_pApp->HandleSessionStatus(wParam);
    switch (reaction) {
        case CQuarvelSession::StatusReaction::ShowRecord:
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_DISCONNECT));
            TransferRecord(FALSE);
            UpdateData(FALSE);
            m_strReadAt = AnsiToWide(LocalTimeText("%Y-%m-%d %H:%M:%S"));
            ShowState(Shown::Current);
            m_pApp->KeepInHistory(m_shown);
            break;
        case CQuarvelSession::StatusReaction::ShowFailed:
        case CQuarvelSession::StatusReaction::ShowUnknown:
            // The link is already released. The values shown are still the earlier read's, and say so.
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_CONNECT));
            if (m_eShown == Shown::Current) ShowState(Shown::Earlier);
            AfxMessageBox(CQuarvelSession::MessageOf(reaction), MB_OK);
            break;
        case CQuarvelSession::StatusReaction::ShowClosed:
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_CONNECT));
            // The Disconnect question, still open, asks about a link that is gone: it closes (answered No).
            if (m_pApp->IsAskingDisconnect()) AfxCloseMessageBoxes(IDNO);
            AfxMessageBox(CQuarvelSession::MessageOf(reaction), MB_OK);
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
