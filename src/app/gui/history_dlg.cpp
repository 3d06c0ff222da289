#include "app/gui/history_dlg.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "app/gui/quarvel_app.h"
#include "app/gui/service_dlg.h"
#include "app/gui/team_text.h"
#include "certificate/certificate_data.h"
#include "certificate/certificate_pdf.h"
#include "framework/afx.h"
#include "framework/list_ctrl.h"
#include "history/history_export.h"
#include "history/history_fields.h"
#include "history/service_plan.h"
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "record/tool_quantities.h"

namespace {
CString Wide(const std::string& utf8) {
    CString text;
    return Utf8ToUtf16(utf8, text) ? text : CString(u"?");
}
}  // namespace

CHistoryDlg::CHistoryDlg(CQuarvelApp& app, CString toolSerial, CWnd* pParent)
    : CDialog(IDD_HISTORY, pParent), m_app(app), m_toolSerial(std::move(toolSerial)) {
    MapCommand(IDC_HISTORY_THIS_TOOL, [this] { ShowView(false); });
    MapCommand(IDC_HISTORY_ALL_TOOLS, [this] { ShowView(true); });
    MapCommand(IDC_HISTORY_EXPORT, [this] { OnExport(); });
    MapCommand(IDC_HISTORY_SERVICE, [this] { OnRecordService(); });
    MapCommand(IDC_HISTORY_CERTIFICATE, [this] { OnCertificate(); });
    MapNotify(IDC_HISTORY_LIST, LVN_COLUMNCLICK, [this] { OnColumnClick(); });
    MapNotify(IDC_HISTORY_LIST, LVN_ITEMACTIVATE, [this] { OnActivate(); });
    MapMessage(WM_HISTORY_VIEW_READY, [this](WPARAM number, LPARAM) -> LRESULT {
        OnViewReady(number);
        return 0;
    });
    // A sync round ended: the team's records it brought and its state are shown.
    MapMessage(WM_TEAM_SYNC_DONE, [this](WPARAM, LPARAM) -> LRESULT {
        if (!m_reading) ShowView(m_allTools);
        return 0;
    });
}

CHistoryDlg::~CHistoryDlg() {
    if (CWinApp* app = AfxGetApp()) {
        app->RouteMessage(WM_HISTORY_VIEW_READY, nullptr);
        app->RouteMessage(WM_TEAM_SYNC_DONE, nullptr);
    }
}

BOOL CHistoryDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CListCtrl list(GetDlgItem(IDC_HISTORY_LIST));
    list.SetColumns({LoadStringW(IDS_HISTORY_COL_DATE), LoadStringW(IDS_HISTORY_COL_TOOL_SERIAL),
                     LoadStringW(IDS_HISTORY_COL_MODEL), LoadStringW(IDS_HISTORY_COL_CYCLES),
                     LoadStringW(IDS_HISTORY_COL_TOTAL), LoadStringW(IDS_HISTORY_COL_RESULT),
                     LoadStringW(IDS_HISTORY_COL_TECHNICIAN), LoadStringW(IDS_HISTORY_COL_SINCE_SERVICE),
                     LoadStringW(IDS_HISTORY_COL_DUE)});
    m_caption = GetWindowText();
    if (m_toolSerial.empty()) {
        if (CWnd* thisTool = GetDlgItem(IDC_HISTORY_THIS_TOOL)) thisTool->EnableWindow(FALSE);
    }
    if (CWinApp* app = AfxGetApp()) {
        app->RouteMessage(WM_HISTORY_VIEW_READY, this);
        app->RouteMessage(WM_TEAM_SYNC_DONE, this);
    }
    ShowView(m_toolSerial.empty());
    if (CWnd* first = GetDlgItem(IDC_HISTORY_LIST)) first->SetFocus();
    return FALSE;
}

void CHistoryDlg::ShowView(bool allTools) {
    m_allTools = allTools;
    // The caption names the tool of "This tool".
    SetWindowText(allTools ? m_caption : m_caption + u" \u2014 " + m_toolSerial);
    SendDlgItemMessage(IDC_HISTORY_THIS_TOOL, BM_SETCHECK, allTools ? BST_UNCHECKED : BST_CHECKED);
    SendDlgItemMessage(IDC_HISTORY_ALL_TOOLS, BM_SETCHECK, allTools ? BST_CHECKED : BST_UNCHECKED);
    m_rows.clear();
    CListCtrl(GetDlgItem(IDC_HISTORY_LIST)).DeleteAllItems();
    m_reading = true;
    for (int id : {IDC_HISTORY_EXPORT, IDC_HISTORY_SERVICE, IDC_HISTORY_CERTIFICATE})
        if (CWnd* button = GetDlgItem(id)) button->EnableWindow(FALSE);
    ShowStatus(LoadStringW(IDS_HISTORY_READING), {});

    HistoryViewRequest request;
    request.store = HistoryStoreOptions{m_app.HistoryWriter().Path(), kWriterWaitMs, 0, "", ""};
    request.syncState = !m_app.HistoryServer.empty();
    request.allTools = allTools;
    request.toolSerial = Utf16ToUtf8(m_toolSerial);
    request.plan.cycles = m_app.ServiceInterval;
    request.plan.days = m_app.ServiceIntervalDays;
    request.plan.dueSoonPercent = m_app.ServiceDueSoonPercent;
    // Reads of a moment ago may still be on their way to the file.
    CHistoryWriter& writer = m_app.HistoryWriter();
    request.before = [&writer] { writer.WaitIdle(kWriterWaitMs); };
    m_request = m_query.Request(std::move(request));
}

void CHistoryDlg::OnViewReady(WPARAM number) {
    std::optional<HistoryViewResult> result = m_query.Take(number);
    if (!result || number != m_request) return;  // an overtaken view
    m_reading = false;
    m_rows = std::move(result->rows);
    FillList();
    if (!result->setAside.empty()) m_setAside = result->setAside;
    if (CWnd* exportButton = GetDlgItem(IDC_HISTORY_EXPORT)) exportButton->EnableWindow(TRUE);
    // A visit is recorded for the tool of "This tool"; a certificate is of a read shown.
    if (CWnd* service = GetDlgItem(IDC_HISTORY_SERVICE))
        service->EnableWindow(!m_allTools && !m_rows.empty());
    if (CWnd* certificate = GetDlgItem(IDC_HISTORY_CERTIFICATE)) certificate->EnableWindow(!m_rows.empty());
    CString detail;
    const CString text = StatusText(result->status, &detail);
    ShowStatus(text, detail);
    ShowSyncState(result->sync);
}

namespace {
// The columns as FillList shows them; a click on a header sorts by that column.
enum Column { kDate, kTool, kModel, kCycles, kTotal, kResult, kTechnician, kSinceService, kService };

// Whether a comes before b in ascending order of the column.
bool Before(const HistoryRow& a, const HistoryRow& b, int column) {
    const HistoryRead &x = a.read, &y = b.read;
    switch (column) {
        case kDate:
            return x.uuid < y.uuid;  // the ids sort in the order the reads were made
        case kTool:
            return std::tie(x.toolSerial, x.controllerSerial) < std::tie(y.toolSerial, y.controllerSerial);
        case kModel:
            return x.toolModel < y.toolModel;
        case kCycles:
            return x.cycleCounter < y.cycleCounter;
        case kTotal:
            return x.totalCounter < y.totalCounter;
        case kResult:
            return (x.cycleFlags & 3u) < (y.cycleFlags & 3u);
        case kTechnician:
            return x.technician < y.technician;
        case kSinceService:
            return a.cyclesSinceService < b.cyclesSinceService;
        case kService:
            return std::make_pair(a.standing.state, a.standing.used) <
                   std::make_pair(b.standing.state, b.standing.used);
        default:
            return false;
    }
}
}  // namespace

void CHistoryDlg::FillList() {
    if (m_sortColumn >= 0) {
        std::stable_sort(m_rows.begin(), m_rows.end(), [this](const HistoryRow& a, const HistoryRow& b) {
            return m_sortAscending ? Before(a, b, m_sortColumn) : Before(b, a, m_sortColumn);
        });
    }
    CListCtrl list(GetDlgItem(IDC_HISTORY_LIST));
    list.DeleteAllItems();
    const std::string dateFormat = Utf16ToUtf8(LoadStringW(IDS_DATE_TIME_FORMAT));
    for (const HistoryRow& row : m_rows) {
        const HistoryRead& r = row.read;
        list.AddItem({Wide(HistoryLocalTime(r.readAt, dateFormat.c_str())), Wide(r.toolSerial),
                      Wide(r.toolModel), Wide(std::to_string(r.cycleCounter)),
                      Wide(std::to_string(r.totalCounter)), LoadStringW(ResultStringId(r.cycleFlags)),
                      Wide(r.technician), Wide(GroupedNumber(row.cyclesSinceService)),
                      Wide(ServiceStandingText(row.standing))});
    }
    list.FitColumns();
    list.SetSortIndicator(m_sortColumn, m_sortAscending);
    // As the view comes: the newest read of the tool, or the last tool; sorted: the first row.
    list.SetCurSel(m_sortColumn >= 0 ? 0 : static_cast<int>(m_rows.size()) - 1);
}

void CHistoryDlg::OnColumnClick() {
    if (m_reading) return;
    const int column = CListCtrl(GetDlgItem(IDC_HISTORY_LIST)).ClickedColumn();
    if (column < 0) return;
    // The same header again turns the order round; the service state first shows the most overdue.
    m_sortAscending = column == m_sortColumn ? !m_sortAscending : column != kService;
    m_sortColumn = column;
    FillList();
}

void CHistoryDlg::OnActivate() {
    const int row = CListCtrl(GetDlgItem(IDC_HISTORY_LIST)).GetCurSel();
    if (m_reading || !m_allTools || row < 0 || row >= static_cast<int>(m_rows.size())) return;
    m_toolSerial = Wide(m_rows[static_cast<std::size_t>(row)].read.toolSerial);
    if (CWnd* thisTool = GetDlgItem(IDC_HISTORY_THIS_TOOL)) thisTool->EnableWindow(TRUE);
    ShowView(false);
}

void CHistoryDlg::OnRecordService() {
    if (m_reading || m_allTools || m_rows.empty()) return;
    // The tool's last read, whatever order the list shows.
    const auto last =
        std::max_element(m_rows.begin(), m_rows.end(),
                         [](const HistoryRow& a, const HistoryRow& b) { return a.read.uuid < b.read.uuid; });
    CServiceDlg dialog(m_app, last->read, this);
    if (dialog.DoModal() == IDOK) ShowView(false);
}

void CHistoryDlg::OnCertificate() {
    const int row = CListCtrl(GetDlgItem(IDC_HISTORY_LIST)).GetCurSel();
    if (m_reading || row < 0 || row >= static_cast<int>(m_rows.size())) return;
    const HistoryRead& read = m_rows[static_cast<std::size_t>(row)].read;
    ServicePlan plan;
    plan.cycles = m_app.ServiceInterval;
    plan.days = m_app.ServiceIntervalDays;
    plan.dueSoonPercent = m_app.ServiceDueSoonPercent;
    CHistoryStore store(HistoryStoreOptions{m_app.HistoryWriter().Path(), kWriterWaitMs, 0, "", ""});
    CertificateData data;
    std::string detail;
    std::string pdf;
    if (LoadCertificate(store, read.toolSerial, "", read.uuid, plan, m_app.CertificateHeader, &data,
                        &detail) == CertificateProblem::None)
        pdf = CertificatePdf(data, &detail);
    if (pdf.empty()) {
        AfxMessageBox(AfxFormatString2(LoadStringW(IDS_CERT_NOT_WRITTEN), Wide(detail)), MB_OK);
        return;
    }
    const CString filter = LoadStringW(IDS_CERT_FILTER);
    const CString name = Wide(read.toolSerial + ".pdf");
    CFileDialog dialog(FALSE, u"pdf", name.c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter.c_str(),
                       this);
    if (dialog.DoModal() != IDOK) return;
    // A failed write raises CFileException (the file closed), which the framework shows.
    if (!WriteHistoryExport(dialog.GetPathName(), pdf, nullptr)) AfxMessageBox(IDS_OUTPUT_NOT_OPENED, MB_OK);
}

void CHistoryDlg::ShowSyncState(const HistorySyncState& state) {
    // Only a laptop of a team (a server is set) has a sync to tell of; a round in progress says so.
    CString text;
    if (!m_app.HistoryServer.empty()) {
        text = m_app.TeamSync().Status().running ? LoadStringW(IDS_TEAM_SYNCING) : TeamStateText(state);
    }
    SetDlgItemText(IDC_HISTORY_SYNC, text);
    if (CWnd* line = GetDlgItem(IDC_HISTORY_SYNC)) line->SetToolTipText(text);
}

namespace {
// Why the history could not be used, in the module's language.
CString CauseText(HistoryCause cause) {
    switch (cause) {
        case HistoryCause::Locked:
            return LoadStringW(IDS_HISTORY_CAUSE_LOCKED);
        case HistoryCause::Full:
            return LoadStringW(IDS_HISTORY_CAUSE_FULL);
        case HistoryCause::ReadOnly:
            return LoadStringW(IDS_HISTORY_CAUSE_READ_ONLY);
        case HistoryCause::Damaged:
            return LoadStringW(IDS_HISTORY_CAUSE_DAMAGED);
        case HistoryCause::NotADatabase:
            return LoadStringW(IDS_HISTORY_CAUSE_NOT_DATABASE);
        case HistoryCause::Newer:
            return LoadStringW(IDS_HISTORY_CAUSE_NEWER);
        default:
            return LoadStringW(IDS_HISTORY_CAUSE_OTHER);
    }
}
}  // namespace

CString CHistoryDlg::StatusText(const HistoryStatus& status, CString* detail) const {
    // A lost read is said first: it is the one thing the user cannot learn elsewhere. The line says what
    // and why in the user's language; the tooltip holds the full English detail with the file's path.
    if (const std::string loss = m_app.HistoryWriter().LossMessage(); !loss.empty()) {
        *detail = Wide(loss);
        return LoadStringW(IDS_HISTORY_NOT_KEPT) + u" (" + CauseText(m_app.HistoryWriter().LossCause()) +
               u")";
    }
    if (!status.ok) {
        *detail = Wide(status.message);
        return LoadStringW(IDS_HISTORY_NOT_READ) + u" (" + CauseText(status.cause) + u")";
    }
    std::string aside = m_app.HistoryWriter().SetAsideName();
    if (aside.empty()) aside = m_setAside;
    if (!aside.empty()) {
        // The line names the file; the tooltip gives its folder too.
        *detail = AfxFormatString2(LoadStringW(IDS_HISTORY_SET_ASIDE), Wide(aside));
        return AfxFormatString2(LoadStringW(IDS_HISTORY_SET_ASIDE),
                                Wide(std::filesystem::path(aside).filename().string()));
    }
    if (!m_app.KeepHistory) return LoadStringW(IDS_HISTORY_OFF);
    if (m_rows.empty()) return LoadStringW(IDS_HISTORY_EMPTY);
    return {};
}

void CHistoryDlg::ShowStatus(const CString& text, const CString& detail) {
    SetDlgItemText(IDC_HISTORY_STATUS, text);
    if (CWnd* line = GetDlgItem(IDC_HISTORY_STATUS)) line->SetToolTipText(detail.empty() ? text : detail);
}

void CHistoryDlg::OnExport() {
    if (m_reading) return;  // the button is disabled meanwhile; Enter on it is too
    const CString filter = LoadStringW(IDS_HISTORY_EXPORT_FILTER);
    CFileDialog dialog(FALSE, u"csv", u"*.csv", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter.c_str(), this);
    if (dialog.DoModal() != IDOK) return;
    // A failed write raises CFileException (the file closed): the framework's command handling shows
    // the file error and the dialog stays open.
    if (!WriteHistoryExport(dialog.GetPathName(), HistoryCsv(m_rows), nullptr)) {
        AfxMessageBox(IDS_OUTPUT_NOT_OPENED, MB_OK);
    }
}
