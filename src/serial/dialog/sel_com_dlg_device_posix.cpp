// Linux users see which device stands behind a COM number: the entry's tooltip names the device path and
// its /dev/serial/by-id name.
#include <QComboBox>

#include "ids/resource_ids.h"
#include "serial/dialog/port_alias.h"
#include "serial/dialog/sel_com_dlg.h"

void CSelComDlg::ShowPortDevice(int position, const CModem& modem) {
    CWnd* list = GetDlgItem(IDC_PORT_LIST);
    auto* combo = qobject_cast<QComboBox*>(list != nullptr ? list->GetSafeHwnd() : nullptr);
    if (combo == nullptr) return;
    combo->setItemData(position,
                       PortTooltip(modem.GetPortNumber(), QString::fromStdString(modem.GetDevicePath())),
                       Qt::ToolTipRole);
}
