// On Windows the COM number is the device's own name: the entry says it all.
#include "serial/dialog/sel_com_dlg.h"

void CSelComDlg::ShowPortDevice(int, const CModem&) {}
