#include "app/gui/about_dlg.h"

#include "app/gui/program_info.h"
#include "ids/resource_ids.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The template's caption and version line are replaced: the running program names itself.
    SetWindowText(kProgramName);
    SetDlgItemText(IDC_VERSION_LABEL, kVersionLine);
    return TRUE;
}
