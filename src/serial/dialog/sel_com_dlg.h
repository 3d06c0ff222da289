#pragma once
// CSelComDlg: the "Connection" dialog (template 7000). Before it shows, it probes COM1 to COM256 and
// owns every port that opened; OK hands the chosen one to the caller, still open and switched to the
// chosen speed, and closes all others; Cancel closes all. While it is open it watches the folders of the
// port table's paths (on Windows the system's list of serial ports): a device that appears is probed and
// listed in COM order, one that vanishes is taken off the list unless it is the selected entry. UI thread
// only; built and run by Crmodem.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "platform/serial/serial_device.h"
#include "serial/modem.h"
#include "serial/port_probe.h"

class DirectoryWatch;
class PortChangeWatch;
class QObject;

class CSelComDlg : public CDialog {
public:
    enum { IDD = IDD_SELCOM };

    // `presetPort`: the port to preselect (-1: none). `speedIndex`: the speed to preselect, 0 to 9.
    // `portNumber` and `port` receive the outcome; OK stores the chosen speed into `appSpeedIndex`.
    // Tests pass a device factory; the default is the platform's serial device.
    CSelComDlg(int presetPort, int speedIndex, int& portNumber, CModem*& port, int& appSpeedIndex,
               SerialDeviceFactory factory = {}, CWnd* pParentWnd = nullptr);
    ~CSelComDlg() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;

    // The ten entries of the Speed list, in order (position = speed index).
    static const char16_t* const kSpeeds[10];
    // "baud=<entry> parity=N data=8 stop=1" for a Speed entry.
    static std::string ModeFor(const CString& speedEntry);

private:
    void Probe();
    // The message when no port opened: the design's, and the ports that are there but refused, and why.
    CString NoPortsMessage() const;
    void FillPortList();
    void ReleaseAllPorts();
    CString SelectedSpeedText(int index);
    void AddPortEntry(int position, const CModem& modem);
    // Where the system can say it, the device behind the entry's COM number (sel_com_dlg_device_*.cpp).
    void ShowPortDevice(int position, const CModem& modem);

    // Ports that come and go while the dialog is open: what tells of them is the platform's
    // (sel_com_dlg_hotplug_posix.cpp, _win.cpp), the list follows them in sel_com_dlg_hotplug.cpp.
    void StartWatching();
    void StopWatching();
    void OnDirectoryEvents();  // POSIX: the watched folders' events
    void OnPortsChanged();     // Windows: the system's list of ports has changed
    void TryPort(int port);
    void ListPort(std::unique_ptr<CModem> modem);
    void UnlistPort(int port);
    int ListedAt(int port) const;  // position in the Port list; -1 when not listed
    int SelectedPosition() const;
    bool RemovePortEntry(int position);  // false when there is no list to remove it from

    int m_nPresetPort;
    int m_nOpened = 0;
    int& m_rPortNumber;
    CModem*& m_rPort;
    DWORD m_nReadTimeout = 2000;
    int m_nPortPosition = 0;
    int m_nSpeedIndex;
    int& m_rAppSpeedIndex;
    bool m_bHandedOver = false;
    SerialDeviceFactory m_factory;
    std::vector<std::unique_ptr<CModem>> m_ports;  // the opened ports, ascending by number
    std::vector<PortRefusal> m_refused;            // the ports that are there but would not open

    std::unique_ptr<DirectoryWatch> m_pWatch;
    std::shared_ptr<QObject> m_pWatchContext;  // owns the notifier; its end cancels the pending retries
    std::map<std::string, int> m_portByPath;   // the port table backwards
    std::map<int, int> m_retries;              // port -> attempts left after a refusal just after appearing
    std::set<int> m_vanished;                  // selected entries whose device has gone
#ifdef _WIN32
    std::unique_ptr<PortChangeWatch> m_pPortWatch;
    std::set<int> m_present;  // the ports the system listed at the last look
#endif
};
