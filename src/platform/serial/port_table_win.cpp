// Windows names every serial port itself: COM n is the device \\.\COMn, whatever driver stands behind
// it, so there is no table to configure and QUARVEL_PORTS is not read.
#include "platform/serial/port_table.h"

PortTable PortTable::Default() {
    PortTable table;
    for (int port = kFirstPort; port <= kLastPort; ++port)
        table.m_paths[port] = "\\\\.\\COM" + std::to_string(port);
    return table;
}

PortTable PortTable::FromEnvironment() { return Default(); }
