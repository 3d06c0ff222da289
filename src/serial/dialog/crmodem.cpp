#include "serial/dialog/crmodem.h"

#include "serial/dialog/sel_com_dlg.h"

Crmodem::Crmodem(int speedIndex, int& portNumber, CModem*& port, int& appSpeedIndex,
                 SerialDeviceFactory factory) {
    if (speedIndex >= 10 || speedIndex < 0) speedIndex = 9;
    CSelComDlg dlg(portNumber, speedIndex, portNumber, port, appSpeedIndex, std::move(factory));
    if (dlg.DoModal() == -1) {
        // The dialog could not even be created (its template is missing): nothing was chosen.
        port = nullptr;
        portNumber = -1;
    }
}

Crmodem::~Crmodem() = default;
