#include "serial/dialog/sel_com_dlg.h"

#include "framework/data_exchange.h"
#include "framework/message_box.h"
#include "platform/serial/directory_watch.h"
#include "platform/text/code_page.h"
#ifdef _WIN32
#include "platform/serial/port_change_watch.h"
#endif
#include "ids/resource_ids.h"
#include "serial/port_probe.h"

const char16_t* const CSelComDlg::kSpeeds[10] = {u"1200",  u"2400",  u"4800",  u"9600",  u"14400",
                                                 u"19200", u"21600", u"38400", u"57600", u"115200"};

CSelComDlg::CSelComDlg(int presetPort, int speedIndex, int& portNumber, CModem*& port, int& appSpeedIndex,
                       SerialDeviceFactory factory, CWnd* pParentWnd)
    : CDialog(IDD, pParentWnd),
      m_nPresetPort(presetPort),
      m_rPortNumber(portNumber),
      m_rPort(port),
      m_nSpeedIndex(speedIndex),
      m_rAppSpeedIndex(appSpeedIndex),
      m_factory(std::move(factory)) {
    // Focus leaving the Port list, or its list closing, reads the selection into the port position.
    MapNotify(IDC_PORT_LIST, CBN_KILLFOCUS, [this] { UpdateData(TRUE); });
    MapNotify(IDC_PORT_LIST, CBN_CLOSEUP, [this] { UpdateData(TRUE); });
}

CSelComDlg::~CSelComDlg() {
    StopWatching();
    // Normally empty by now (handed over or closed); a dialog that never reached OK or Cancel
    // still closes what it probed.
    m_ports.clear();
}

std::string CSelComDlg::ModeFor(const CString& speedEntry) {
    return "baud=" + WideToAnsi(speedEntry) + " parity=N data=8 stop=1";
}

void CSelComDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_CBIndex(pDX, IDC_PORT_LIST, m_nPortPosition);
}

void CSelComDlg::Probe() {
    ProbeResult result = ProbePorts(m_nReadTimeout, m_factory);
    m_ports = std::move(result.ports);
    m_refused = std::move(result.refused);
    m_nOpened = static_cast<int>(m_ports.size());
}

namespace {
// One port that is there but would not open, and why, in the module's language.
CString RefusalLine(const PortRefusal& refusal) {
    CString why;
    if (refusal.eReason == PortRefusal::Reason::Busy) {
        why = refusal.holder && !refusal.holder->strProgram.empty()
                  ? AfxFormatString2(LoadStringW(IDS_PORT_HELD_BY), AnsiToWide(refusal.holder->strProgram),
                                     AnsiToWide(std::to_string(refusal.holder->nPid)))
                  : LoadStringW(IDS_PORT_HELD);
    } else {
        why = refusal.strGroup.empty()
                  ? LoadStringW(IDS_PORT_DENIED)
                  : AfxFormatString2(LoadStringW(IDS_PORT_DENIED_GROUP), AnsiToWide(refusal.strGroup));
    }
    return AnsiToWide("COM" + std::to_string(refusal.nPort) + " (" + refusal.strPath + "): ") + why;
}
}  // namespace

CString CSelComDlg::NoPortsMessage() const {
    // The design's message, then the ports that exist but are held or refused, so that the cable is not
    // blamed for a port another program holds.
    CString text = LoadStringW(IDS_NO_PORTS);
    if (m_refused.empty()) return text;
    text += u"\n\n" + LoadStringW(IDS_PORTS_REFUSED);
    for (const PortRefusal& refusal : m_refused) text += u"\n" + RefusalLine(refusal);
    return text;
}

void CSelComDlg::AddPortEntry(int position, const CModem& modem) {
    const CString entry = AnsiToWide("COM" + std::to_string(modem.GetPortNumber()));
    // Past the end appends; inside the list the current entry stays current.
    SendDlgItemMessage(IDC_PORT_LIST, CB_INSERTSTRING, static_cast<WPARAM>(position),
                       reinterpret_cast<LPARAM>(entry.c_str()));
    ShowPortDevice(position, modem);
}

void CSelComDlg::FillPortList() {
    for (int i = 0; i < m_nOpened; ++i) {
        const CModem& modem = *m_ports[static_cast<std::size_t>(i)];
        AddPortEntry(i, modem);
        if (modem.GetPortNumber() == m_nPresetPort) {
            SendDlgItemMessage(IDC_PORT_LIST, CB_SETCURSEL, static_cast<WPARAM>(i));
            m_nPortPosition = i;
        }
    }
}

BOOL CSelComDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    Probe();
    if (m_nOpened == 0) {
        m_rPort = nullptr;
        m_rPortNumber = 0;
        AfxMessageBox(NoPortsMessage(), MB_OK);
        EndDialog(0);
        return TRUE;
    }
    FillPortList();
    for (const char16_t* speed : kSpeeds) {
        SendDlgItemMessage(IDC_SPEED_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(speed));
    }
    SendDlgItemMessage(IDC_SPEED_LIST, LB_SETCURSEL, static_cast<WPARAM>(m_nSpeedIndex));
    UpdateData(FALSE);
    StartWatching();
    return TRUE;
}

CString CSelComDlg::SelectedSpeedText(int index) {
    const LRESULT length = SendDlgItemMessage(IDC_SPEED_LIST, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0) return {};
    CString text(static_cast<std::size_t>(length) + 1, u'\0');
    SendDlgItemMessage(IDC_SPEED_LIST, LB_GETTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void CSelComDlg::OnOK() {
    if (m_bHandedOver) {  // a second OK after the port was handed over: only end the dialog
        CDialog::OnOK();
        return;
    }
    if (m_ports.empty()) {  // cannot happen: the dialog ends at once without ports
        OnCancel();
        return;
    }
    StopWatching();
    UpdateData(TRUE);
    const std::size_t chosenAt =
        m_nPortPosition > 0 && static_cast<std::size_t>(m_nPortPosition) < m_ports.size()
            ? static_cast<std::size_t>(m_nPortPosition)
            : 0;
    CModem* chosen = m_ports[chosenAt].release();
    m_rPort = chosen;
    m_rPortNumber = chosen->GetPortNumber();
    m_bHandedOver = true;
    // The other ports close (break first) before the chosen one changes speed.
    m_ports.clear();

    int speed = static_cast<int>(SendDlgItemMessage(IDC_SPEED_LIST, LB_GETCURSEL));
    // The list can lose its selection (Ctrl+click); the preselected speed then stands.
    if (speed < 0 || speed >= 10) speed = m_nSpeedIndex;
    m_rAppSpeedIndex = speed;
    (void)chosen->SetMode(ModeFor(SelectedSpeedText(speed)).c_str());
    CDialog::OnOK();
}

void CSelComDlg::ReleaseAllPorts() {
    StopWatching();
    m_ports.clear();  // each CModem closes with the break condition set first
}

void CSelComDlg::OnCancel() {
    if (m_bHandedOver) {  // the chosen port belongs to the caller already
        CDialog::OnCancel();
        return;
    }
    ReleaseAllPorts();
    m_rPort = nullptr;
    m_rPortNumber = -1;
    CDialog::OnCancel();
}
