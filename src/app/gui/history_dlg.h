#pragma once
// CHistoryDlg: the History dialog (template 7100). A list of reads (local date and time, tool serial, model,
// cycle counter, total counter, result, technician, cycles since service, the service state with its
// reason), sorted by a click on a column's header, in one of two views: "This tool", every read of the
// current tool (offered when a tool is connected or was read, or chosen by a double-click in the fleet), or
// "All tools", the fleet's last reads. Export...
// writes the current view's CSV through the Save-As dialog; the line under the list says when the
// history is off, could not be read, lost a read, or set a damaged file aside; with a team history server
// set, the line beside the view buttons tells the last sync, the records waiting and the last problem, and
// each sync round's end shows the view afresh. UI thread only; a local object of the command.
//
// Each view is read on the dialog's query thread (CHistoryViewQuery, its own connection), so a long view
// never stops the window: while it reads, the line under the list says so and Export waits. The rows come
// back as WM_HISTORY_VIEW_READY, routed to this dialog while it runs. The application's writer thread
// keeps writing meanwhile.
#include <vector>

#include "framework/dialog.h"
#include "history/history_read.h"
#include "history/history_store.h"
#include "history/history_view_query.h"

class CQuarvelApp;

// Posted by the query thread when a view's rows are ready (wParam: the request's number).
inline constexpr UINT WM_HISTORY_VIEW_READY = 0x8010;

class CHistoryDlg : public CDialog {
public:
    // `toolSerial`: the tool of "This tool"; empty when no tool was read (the fleet is shown alone).
    CHistoryDlg(CQuarvelApp& app, CString toolSerial, CWnd* pParent = nullptr);
    ~CHistoryDlg() override;

    // The rows of the view shown (empty while a view is being read).
    const std::vector<HistoryRow>& Rows() const { return m_rows; }
    bool IsReading() const { return m_reading; }
    bool ShowsAllTools() const { return m_allTools; }

    // How long opening the dialog waits for reads still queued for the writer thread.
    static constexpr int kWriterWaitMs = 250;

protected:
    BOOL OnInitDialog() override;

private:
    void ShowView(bool allTools);
    void OnViewReady(WPARAM number);
    // Fills the list from m_rows, in the order chosen by a click on a column's header.
    void FillList();
    void OnColumnClick();
    // In All tools: the tool of the activated row becomes "This tool", and its reads are shown.
    void OnActivate();
    // "Record service..." for the tool of "This tool"; "Certificate..." of the selected read (its visit).
    void OnRecordService();
    void OnCertificate();
    void OnExport();
    // The line under the list; *detail gets the full text for its tooltip (empty: the line itself).
    CString StatusText(const HistoryStatus& status, CString* detail) const;
    void ShowStatus(const CString& text, const CString& detail);
    // The team history's line: last sync, records waiting, the last problem (empty without a server).
    void ShowSyncState(const HistorySyncState& state);

    CQuarvelApp& m_app;
    CString m_toolSerial;
    bool m_allTools = true;
    CString m_caption;      // the template's caption; "This tool" adds the tool's serial
    int m_sortColumn = -1;  // the rows' order: by this column (-1: as the view gives them)
    bool m_sortAscending = true;
    std::vector<HistoryRow> m_rows;
    std::string m_setAside;  // a damaged file this dialog's own reading renamed
    bool m_reading = false;
    std::uint64_t m_request = 0;                       // the number of the view asked for last
    CHistoryViewQuery m_query{WM_HISTORY_VIEW_READY};  // last member: its thread ends first
};
