// Windows has no sysfs: the serial devices are the COM names the system's device map holds, each with the
// kernel device it stands for ("\Device\Serial0", "\Device\VCP0" for many USB adapters) as its driver.
#include "platform/serial/serial_node_facts.h"

#include <windows.h>

#include <string>

namespace {
std::string DosDeviceTarget(const std::string& name) {
    char target[512] = {};
    if (QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) return {};
    return target;
}

std::string ComName(const std::string& path) {
    const std::string prefix = "\\\\.\\";
    return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
}
}  // namespace

bool SerialNodeExists(const std::string& path) {
    if (!DosDeviceTarget(ComName(path)).empty()) return true;
    // Not in the device map (a port Wine links to a Unix device, a driver that registers none): asked for no
    // access at all, the open says whether the port is there; one another program holds is there too.
    const std::string device = "\\\\.\\" + ComName(path);
    const HANDLE h = CreateFileA(device.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY;
}

std::vector<SerialNodeFacts> ListSerialNodes(const std::string&) {
    std::vector<SerialNodeFacts> nodes;
    for (int n = 1; n <= 256; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const std::string target = DosDeviceTarget(name);
        if (target.empty() && !SerialNodeExists(name)) continue;
        SerialNodeFacts facts;
        facts.strName = name;
        facts.strPath = "\\\\.\\" + name;
        facts.strDriver = target;
        nodes.push_back(std::move(facts));
    }
    return nodes;
}

SerialNodeFacts DescribeSerialNode(const std::string& path, const std::string&) {
    SerialNodeFacts facts;
    facts.strPath = path;
    const std::string name = ComName(path);
    const std::string target = DosDeviceTarget(name);
    if (!target.empty()) {
        facts.strName = name;
        facts.strDriver = target;
    }
    return facts;
}

std::string SerialByIdAlias(const std::string&, const std::string&) { return {}; }

std::string CanonicalDevicePath(const std::string& path) { return path; }

bool IsTerminalNode(const std::string&, const std::string&, const std::string&) { return true; }
