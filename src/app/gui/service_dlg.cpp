#include "app/gui/service_dlg.h"

#include <chrono>

#include "app/gui/quarvel_app.h"
#include "app/settings/settings_store.h"
#include "framework/afx.h"
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/local_time.h"
#include "platform/text/utf8.h"
#include "team/team_sync_thread.h"

namespace {
CString Wide(const std::string& utf8) {
    CString text;
    return Utf8ToUtf16(ValidUtf8(utf8), text) ? text : CString(u"?");
}

// The visit's time: now for today, else noon of the day given (a history time).
std::string VisitTime(const std::string& day) {
    const std::string today = LocalTimeText("%Y-%m-%d");
    if (day == today) return HistoryNow();
    return day + "T12:00:00Z";
}

bool IsDay(const std::string& text) {
    return text.size() == 10 && IsHistoryDate(text) && HistorySeconds(text + "T00:00:00Z") >= 0;
}
}  // namespace

CServiceDlg::CServiceDlg(CQuarvelApp& app, HistoryRead lastRead, CWnd* pParent)
    : CDialog(IDD_SERVICE, pParent), m_app(app), m_read(std::move(lastRead)) {}

BOOL CServiceDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_SERVICE_TOOL, Wide(m_read.toolSerial + " / " + m_read.controllerSerial));
    const std::string readAt =
        HistoryLocalTime(m_read.readAt, Utf16ToUtf8(LoadStringW(IDS_DATE_TIME_FORMAT)).c_str());
    SetDlgItemText(IDC_SERVICE_COUNTERS,
                   AfxFormatString2(LoadStringW(IDS_SERVICE_COUNTERS),
                                    Wide(std::to_string(m_read.totalCounter)), Wide(readAt)));
    SetDlgItemText(IDC_SERVICE_DATE, Wide(LocalTimeText("%Y-%m-%d")));
    SetDlgItemText(IDC_SERVICE_TECHNICIAN, Wide(TechnicianName(m_app)));
    if (CWnd* work = GetDlgItem(IDC_SERVICE_WORK)) work->SetFocus();
    return FALSE;
}

void CServiceDlg::OnOK() {
    const std::string day = Utf16ToUtf8(GetDlgItemText(IDC_SERVICE_DATE));
    if (!IsDay(day)) {
        AfxMessageBox(IDS_SERVICE_BAD_DATE, MB_OK);
        if (CWnd* date = GetDlgItem(IDC_SERVICE_DATE)) date->SetFocus();
        return;
    }
    HistoryStoreOptions options{m_app.HistoryWriter().Path(), 1000, 0, "", ""};
    options.technician = Utf16ToUtf8(GetDlgItemText(IDC_SERVICE_TECHNICIAN));
    if (options.technician.empty()) options.technician = TechnicianName(m_app);
    CHistoryStore store(options);
    const HistoryStatus status =
        store.AddServiceVisit(m_read.toolSerial, m_read.controllerSerial,
                              Utf16ToUtf8(GetDlgItemText(IDC_SERVICE_WORK)), VisitTime(day), &m_visit);
    if (!status.ok || !m_visit.found) {
        AfxMessageBox(AfxFormatString2(LoadStringW(IDS_SERVICE_NOT_KEPT), Wide(status.message)), MB_OK);
        return;
    }
    m_app.TeamSync().Wake();  // the visit travels with the next round
    CDialog::OnOK();
}
