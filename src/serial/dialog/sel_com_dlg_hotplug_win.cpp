// The Connection dialog's watch on ports that come and go while it is open, on Windows: the system lists
// its present serial ports in the registry, and the platform's PortChangeWatch posts WM_PORTS_CHANGED to
// the dialog after each change of that list (its thread waits on the key; nothing polls). The dialog then
// compares the ports listed now with those listed before: a new one is probed and listed, one that has
// gone is unlisted. A port refused when it appears (on Windows that is a port another program holds)
// counts as refused, as on Linux; it is not tried again while it stays listed.
#include "platform/serial/port_change_watch.h"
#include "serial/dialog/sel_com_dlg.h"
#include "serial/port_probe_one.h"

namespace {
constexpr UINT WM_PORTS_CHANGED = WM_APP + 0x31;
}  // namespace

void CSelComDlg::StartWatching() {
    MapMessage(WM_PORTS_CHANGED, [this](WPARAM, LPARAM) {
        OnPortsChanged();
        return LRESULT{0};
    });
    m_pPortWatch = std::make_unique<PortChangeWatch>(GetSafeHwnd(), WM_PORTS_CHANGED);
    m_present = PresentComPorts();  // read once the key is watched: no change after this goes untold
}

void CSelComDlg::StopWatching() {
    m_pPortWatch.reset();  // its thread has ended when this returns; a post still queued finds no watch
    m_present.clear();
}

void CSelComDlg::OnPortsChanged() {
    if (!m_pPortWatch || GetDlgItem(IDC_PORT_LIST) == nullptr) return;  // the list is final
    std::set<int> now = PresentComPorts();
    for (int port : m_present) {
        if (now.count(port) == 0) UnlistPort(port);
    }
    for (int port : now) {
        if (m_present.count(port) == 0) TryPort(port);
    }
    m_present = std::move(now);
}

void CSelComDlg::TryPort(int port) {
    if (ListedAt(port) >= 0 && m_vanished.count(port) == 0) return;  // listed already: never probed twice
    DWORD error = 0;
    if (std::unique_ptr<CModem> modem = ProbeOnePort(port, m_nReadTimeout, m_factory, &error)) {
        ListPort(std::move(modem));
    }
}

int CSelComDlg::SelectedPosition() const {
    CWnd* list = GetDlgItem(IDC_PORT_LIST);
    return list != nullptr ? static_cast<int>(list->SendMessage(CB_GETCURSEL, 0, 0)) : m_nPortPosition;
}

bool CSelComDlg::RemovePortEntry(int position) {
    return SendDlgItemMessage(IDC_PORT_LIST, CB_DELETESTRING, static_cast<WPARAM>(position)) != CB_ERR;
}
