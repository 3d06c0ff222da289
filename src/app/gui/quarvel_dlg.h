#pragma once
// CQuarvelDlg: the main dialog (template 102), the program's only window. It shows the tool record,
// toggles the connection, saves the report, carries the About box and the language choice in its system
// menu, and handles the messages posted to the main window (WM_SESSION_STATUS, WM_LINK_LOST, and the stop
// of the program by a signal or the end of the Windows session). UI thread only; CQuarvelApp::InitInstance
// owns it for the whole run.
//
// The display is honest about what it shows: before any read the design's zero record, and after a
// failed or refused read the values of the earlier one, are shown dimmed (grey, still focusable and
// readable as the design has them) with the caption saying so and when that read was, and Save of such
// values asks first.
#include <string>

#include "framework/dialog.h"
#include "framework/icon.h"
#include "framework/menu.h"
#include "record/tool_record.h"

class CQuarvelApp;

// Posted to the main window by the program's stop-signal watcher (wParam: the signal).
inline constexpr UINT WM_QUARVEL_STOP = 0x8011;

class CQuarvelDlg : public CDialog {
public:
    // Takes the application object (the current one by default) and icon 128 of the current module.
    explicit CQuarvelDlg(CQuarvelApp* app = nullptr, CWnd* pParent = nullptr);
    ~CQuarvelDlg() override;

    // TRUE: the display's counters and texts go back into the record (before Save); FALSE: the record
    // goes to the display members, with the stop position rounded to hundredths and the texts of the
    // cycle's result and direction.
    void TransferRecord(BOOL toRecord);

    // The icon shown while the window is minimized (Qt draws the window icon itself there).
    HICON OnQueryDragIcon() const { return m_hIcon; }

    // What the data fields show: the design's zero record before any read, the values of the last good
    // read, or those values after a later read failed or was refused.
    enum class Shown { NotRead, Current, Earlier };
    Shown WhatIsShown() const { return m_eShown; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT nID, LPARAM lParam) override;
    // Exit (IDOK, also Enter) and Cancel (IDCANCEL: Esc, the close box): read the controls first.
    void OnOK() override;
    void OnCancel() override;

private:
    void OnConnect();
    void OnSave();
    void OnLanguage(int index);
    LRESULT OnSessionStatus(WPARAM wParam, LPARAM lParam);
    LRESULT OnLinkLost(WPARAM wParam, LPARAM lParam);
    // The report's record: what the display shows, never values of a session it did not show.
    ToolRecord RecordForReport();
    void CopyDisplayInto(ToolRecord& record) const;
    // The data fields dimmed unless their values are current, and the caption saying what they are.
    void ShowState(Shown shown);
    // Save of values that are not those of the tool tried last asks first; true to go on.
    bool ConfirmSaveOfOldValues();

    HICON m_hIcon = nullptr;
    CQuarvelApp* m_pApp = nullptr;
    UINT m_nCycleCounter = 0;
    UINT m_nTotalCounter = 0;
    CString m_strControllerSerial;
    CString m_strToolSerial;
    CString m_strFirmwareVersion;
    CString m_strToolModel;
    double m_dPosition = 0;
    double m_dForce = 0;
    int m_nFlags = 0;
    CString m_strResult;
    CString m_strDirection;
    CMenu m_menuLanguage;
    // The record as last shown, so that Save writes what the user sees.
    ToolRecord m_shown;
    Shown m_eShown = Shown::NotRead;
    CString m_strReadAt;  // the local time of the read shown
};
