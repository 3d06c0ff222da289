#pragma once
// CHistoryDlg: the History dialog (template 7100). A list of reads (date, tool serial, model, cycle
// counter, total counter, result) in one of two views: "This tool", every read of the current tool
// (offered when a tool is connected or was read), or "All tools", the fleet's last reads. Export...
// writes the current view's CSV through the Save-As dialog; the line under the list says when the
// history is off, could not be read, lost a read, or set a damaged file aside. UI thread only; a local object of the command.
//
// The dialog reads through a CHistoryStore of its own (its own connection, open while the dialog
// runs); the application's writer thread keeps writing meanwhile.
#include <vector>

#include "framework/dialog.h"
#include "history/history_read.h"
#include "history/history_store.h"

class CQuarvelApp;

class CHistoryDlg : public CDialog {
public:
    // `toolSerial`: the tool of "This tool"; empty when no tool was read (the fleet is shown alone).
    CHistoryDlg(CQuarvelApp& app, CString toolSerial, CWnd* pParent = nullptr);

    // The rows of the view shown.
    const std::vector<HistoryRow>& Rows() const { return m_rows; }
    bool ShowsAllTools() const { return m_allTools; }

    // How long opening the dialog waits for reads still queued for the writer thread.
    static constexpr int kWriterWaitMs = 250;

protected:
    BOOL OnInitDialog() override;

private:
    void ShowView(bool allTools);
    void OnExport();
    CString StatusText(const HistoryStatus& status) const;

    CQuarvelApp& m_app;
    CString m_toolSerial;
    bool m_allTools = true;
    std::vector<HistoryRow> m_rows;
    std::string m_setAside;  // a damaged file this dialog's own reading renamed
};
