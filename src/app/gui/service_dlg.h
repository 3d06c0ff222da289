#pragma once
// CServiceDlg: "Record service..." (template 7300), from the History dialog's This tool view: the tool and
// controller of the read shown last and that read's counters, the date (today, YYYY-MM-DD), the
// technician (the settings' name) and the work done. OK keeps a service visit at that read's total
// counter, the same record `quarvel-cli history serviced` makes, which the team's sync sends on. UI thread
// only; a local object of the History dialog's command.
#include <string>

#include "framework/dialog.h"
#include "history/history_read.h"
#include "history/history_store.h"

class CQuarvelApp;

class CServiceDlg : public CDialog {
public:
    CServiceDlg(CQuarvelApp& app, HistoryRead lastRead, CWnd* pParent = nullptr);

    // After IDOK: the visit kept.
    const HistoryVisitOutcome& Visit() const { return m_visit; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CQuarvelApp& m_app;
    HistoryRead m_read;
    HistoryVisitOutcome m_visit;
};
