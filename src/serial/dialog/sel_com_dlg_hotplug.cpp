// The Connection dialog's list of ports while it is open, as ports come and go: a new port takes its place
// in COM order, a port that has gone leaves unless it is the selected entry. What tells of the changes is
// the platform's (sel_com_dlg_hotplug_posix.cpp, sel_com_dlg_hotplug_win.cpp).
#include "serial/dialog/sel_com_dlg.h"

int CSelComDlg::ListedAt(int port) const {
    for (std::size_t i = 0; i < m_ports.size(); ++i) {
        if (m_ports[i]->GetPortNumber() == port) return static_cast<int>(i);
    }
    return -1;
}

void CSelComDlg::ListPort(std::unique_ptr<CModem> modem) {
    const int port = modem->GetPortNumber();
    if (const int at = ListedAt(port); at >= 0) {  // the selected entry's device is back
        m_ports[static_cast<std::size_t>(at)] = std::move(modem);
        m_vanished.erase(port);
        return;
    }
    std::size_t at = 0;
    while (at < m_ports.size() && m_ports[at]->GetPortNumber() < port) ++at;
    m_ports.insert(m_ports.begin() + static_cast<long>(at), std::move(modem));
    AddPortEntry(static_cast<int>(at), *m_ports[at]);
    // The port position follows the entry it stood for, as the shown selection does.
    if (static_cast<int>(at) <= m_nPortPosition) ++m_nPortPosition;
}

void CSelComDlg::UnlistPort(int port) {
    const int at = ListedAt(port);
    if (at < 0) return;
    if (at == SelectedPosition()) {  // the selection never moves by itself: the entry stays
        m_vanished.insert(port);
        return;
    }
    if (!RemovePortEntry(at)) return;     // no list to take it from: the port stays with the others
    m_ports.erase(m_ports.begin() + at);  // closed, break first, as every unchosen port
    m_vanished.erase(port);
    if (at < m_nPortPosition) --m_nPortPosition;
}
