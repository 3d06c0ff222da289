#pragma once
// CAboutDlg: the About box (dialog template 100): the icon, the program's name and version, OK.
// UI thread only; a local object of the command that shows it.
#include "framework/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};
