#pragma once
// Crmodem: runs the port-and-speed choice. Its constructor runs the "Connection" dialog modally and
// returns when it has ended; the outcome is in the caller's variables. UI thread only.
#include "platform/serial/serial_device.h"
#include "serial/modem.h"

class Crmodem {
public:
    // speedIndex: the speed to preselect (10 or more, and anything negative, become 9).
    // portNumber: in, the port to preselect; out, the chosen port (1 to 256) after OK, -1 after Cancel,
    //   0 when no port opened.
    // port: out, the chosen port, open at the chosen speed and owned by the caller from now on; null after
    //   Cancel or when no port opened.
    // appSpeedIndex: the application's SpeedIndex, which OK sets to the chosen entry; Cancel leaves it.
    Crmodem(int speedIndex, int& portNumber, CModem*& port, int& appSpeedIndex,
            SerialDeviceFactory factory = {});
    virtual ~Crmodem();
    Crmodem(const Crmodem&) = delete;
    Crmodem& operator=(const Crmodem&) = delete;
};
