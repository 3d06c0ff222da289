// The Connection dialog's watch on ports that come and go while it is open: inotify on the folders of
// the port table's paths, read through a QSocketNotifier on the UI thread. Nothing polls: the only timers
// are the few single-shot retries of a device refused right after it appeared, before udev had given it
// its group and mode.
#include <QComboBox>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <filesystem>

#include "platform/serial/directory_watch.h"
#include "platform/serial/port_table.h"
#include "serial/dialog/sel_com_dlg.h"
#include "serial/port_probe_one.h"

namespace {
// Pauses before the retries of a refused new device: about a second in all.
constexpr int kRetryDelaysMs[] = {100, 200, 300, 400};
constexpr int kRetries = static_cast<int>(std::size(kRetryDelaysMs));
}  // namespace

void CSelComDlg::StartWatching() {
    const PortTable table = PortTable::FromEnvironment();
    m_pWatch = std::make_unique<DirectoryWatch>();
    for (int port = PortTable::kFirstPort; port <= PortTable::kLastPort; ++port) {
        const std::string& path = table.PathFor(port);
        if (path.empty()) continue;
        m_portByPath.emplace(path, port);
        (void)m_pWatch->Add(std::filesystem::path(path).parent_path().string());
    }
    if (m_pWatch->Descriptor() < 0) return;  // without inotify the list stays as the probe left it
    m_pWatchContext = std::make_unique<QObject>();
    auto* notifier =
        new QSocketNotifier(m_pWatch->Descriptor(), QSocketNotifier::Read, m_pWatchContext.get());
    QObject::connect(notifier, &QSocketNotifier::activated, m_pWatchContext.get(),
                     [this] { OnDirectoryEvents(); });
}

void CSelComDlg::StopWatching() {
    m_pWatchContext.reset();  // the notifier and every pending retry go with it
    m_pWatch.reset();
    m_retries.clear();
}

void CSelComDlg::OnDirectoryEvents() {
    if (!m_pWatch || GetDlgItem(IDC_PORT_LIST) == nullptr) return;  // the window has gone: the list is final
    for (const DirectoryEvent& event : m_pWatch->TakeEvents()) {
        const auto found = m_portByPath.find(event.strPath);
        if (found == m_portByPath.end()) continue;
        const int port = found->second;
        switch (event.eKind) {
            case DirectoryEvent::Kind::Vanished:
                m_retries.erase(port);
                UnlistPort(port);
                break;
            case DirectoryEvent::Kind::Appeared:
                m_retries[port] = kRetries;
                TryPort(port);
                break;
            case DirectoryEvent::Kind::Changed:
                // udev setting group and mode: worth an attempt only while the new device waits for one.
                if (m_retries.count(port) != 0) TryPort(port);
                break;
        }
    }
}

void CSelComDlg::TryPort(int port) {
    if (ListedAt(port) >= 0 && m_vanished.count(port) == 0) {  // listed already: never probed twice
        m_retries.erase(port);
        return;
    }
    DWORD error = 0;
    std::unique_ptr<CModem> modem = ProbeOnePort(port, m_nReadTimeout, m_factory, &error);
    if (modem) {
        m_retries.erase(port);
        ListPort(std::move(modem));
        return;
    }
    // A node refused at once may still lack its group and mode (permission denied), or its driver may not
    // be ready (no such device): a few more attempts. Busy, or out of attempts: it counts as refused.
    const auto left = m_retries.find(port);
    const bool early = error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND;
    if (!early || left == m_retries.end() || left->second == 0) {
        m_retries.erase(port);
        return;
    }
    const int delay = kRetryDelaysMs[kRetries - left->second];
    --left->second;
    QTimer::singleShot(delay, m_pWatchContext.get(), [this, port] {
        if (m_retries.count(port) != 0 && GetDlgItem(IDC_PORT_LIST) != nullptr) TryPort(port);
    });
}

int CSelComDlg::SelectedPosition() const {
    CWnd* list = GetDlgItem(IDC_PORT_LIST);
    auto* combo = qobject_cast<QComboBox*>(list != nullptr ? list->GetSafeHwnd() : nullptr);
    return combo != nullptr ? combo->currentIndex() : m_nPortPosition;
}

bool CSelComDlg::RemovePortEntry(int position) {
    auto* combo = qobject_cast<QComboBox*>(GetDlgItem(IDC_PORT_LIST)->GetSafeHwnd());
    if (combo == nullptr) return false;
    combo->removeItem(position);
    return true;
}
