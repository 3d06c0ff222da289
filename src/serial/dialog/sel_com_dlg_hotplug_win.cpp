// The Win32 build lists the ports found when the dialog opened; ports that come and go while it is open
// show at its next opening.
#include "serial/dialog/sel_com_dlg.h"

void CSelComDlg::StartWatching() {}
void CSelComDlg::StopWatching() {}
