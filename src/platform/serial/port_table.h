#pragma once
// PortTable: which device path stands behind each COM number (1 to 256).
// Default table: COM1-COM32 -> /dev/ttyS0-31, COM33-COM64 -> /dev/ttyUSB0-31, COM65-COM96 -> /dev/ttyACM0-31,
// COM97-COM256 unmapped. The environment variable QUARVEL_PORTS ("1=/dev/pts/3,7=/dev/ttyUSB0") replaces the
// default entirely when it is set (even when empty); an entry that is not "number=absolute path" with a
// number from 1 to 256 is ignored, and a later entry for the same number wins. A value type; FromEnvironment
// reads the environment, so call it where nobody changes the environment at the same time (the user-interface
// thread, tests before they start threads).
#include <array>
#include <string>

class PortTable {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 256;

    static PortTable Default();
    // The table QUARVEL_PORTS describes (see above).
    static PortTable Parse(const std::string& entries);
    // Parse(QUARVEL_PORTS) when that variable is set, Default() otherwise.
    static PortTable FromEnvironment();

    // The device path of COM`port`; empty when the number is unmapped or outside 1 to 256.
    const std::string& PathFor(int port) const;

private:
    std::array<std::string, kLastPort + 1> m_paths;  // index = COM number; [0] stays empty
};
