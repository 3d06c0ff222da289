#pragma once
// CSelComDlg: the "Connection" dialog (template 7000). Before it shows, it probes COM1 to COM256 and
// owns every port that opened; OK hands the chosen one to the caller, still open and switched to the
// chosen speed, and closes all others; Cancel closes all. UI thread only; built and run by Crmodem.
#include <memory>
#include <vector>

#include "framework/dialog.h"
#include "platform/serial_device.h"
#include "serial/modem.h"

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
    void FillPortList();
    void ReleaseAllPorts();
    CString SelectedSpeedText(int index);

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
};
