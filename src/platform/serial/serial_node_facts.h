#pragma once
// What sysfs tells about the serial device nodes of this machine, for diagnostics: which ttys have
// hardware behind them, their driver and the USB device they belong to. Reads files only; any thread.
// `sysfsRoot` is normally "/sys"; tests point it at a fake tree.
#include <optional>
#include <string>
#include <vector>

struct SerialNodeFacts {
    std::string strName;        // the tty's name, "ttyUSB0"; empty when sysfs has no tty for the path
    std::string strPath;        // the device node, "/dev/ttyUSB0"
    std::string strDriver;      // "ftdi_sio", "cp210x", "cdc_acm", "serial8250" ...; empty when unknown
    std::string strUsbVendor;   // "0403"; empty when not a USB device
    std::string strUsbProduct;  // "6001"
    std::string strProduct;     // the USB product name
    std::string strSerial;      // the USB serial number
    std::optional<int> latencyTimerMs;  // the FTDI driver's latency timer, where it has one
};

// Every ttyS with a UART behind it, every ttyUSB and ttyACM that sysfs lists, by kind and number.
std::vector<SerialNodeFacts> ListSerialNodes(const std::string& sysfsRoot);
// The facts for one device path (a by-id link is followed to its tty); only strPath when sysfs does not
// know it (a pseudo-terminal, a missing node).
SerialNodeFacts DescribeSerialNode(const std::string& path, const std::string& sysfsRoot);
// The /dev/serial/by-id name that resolves to `path`; empty when there is none.
std::string SerialByIdAlias(const std::string& path, const std::string& byIdDir = "/dev/serial/by-id");
// False only when `path` is known not to be a terminal: not a character device, or one whose driver sysfs
// (/sys/dev/char/M:m) or /proc/devices names as something else (/dev/null is "mem"). A node neither knows
// counts as a terminal, so a real port is never dismissed. Reads no device; any thread.
bool IsTerminalNode(const std::string& path, const std::string& sysfsRoot, const std::string& procRoot);
// Whether the device node is there (POSIX: the path exists; Windows: the COM port is in the device map or
// answers an open that asks for no access, or another program holds it).
bool SerialNodeExists(const std::string& path);
// `path` with every link resolved; `path` itself when it does not exist.
std::string CanonicalDevicePath(const std::string& path);
