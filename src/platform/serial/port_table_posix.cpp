// The port table of a POSIX system: the usual device names, or what QUARVEL_PORTS says.
#include "platform/serial/port_table.h"

#include <cstdlib>

namespace {
struct DefaultRange {
    int nFirstPort;
    const char* szPrefix;
};
constexpr DefaultRange kDefaultRanges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kDevicesPerRange = 32;

}  // namespace

PortTable PortTable::Default() {
    PortTable table;
    for (const DefaultRange& range : kDefaultRanges) {
        for (int i = 0; i < kDevicesPerRange; ++i) {
            table.m_paths[range.nFirstPort + i] = range.szPrefix + std::to_string(i);
        }
    }
    return table;
}

PortTable PortTable::FromEnvironment() {
    const char* entries = std::getenv("QUARVEL_PORTS");
    return entries != nullptr ? Parse(entries) : Default();
}
