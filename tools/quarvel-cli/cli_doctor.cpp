#include "cli_doctor.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "cli_exit.h"
#include "platform/serial/port_table.h"
#include "platform/serial/serial_device.h"

namespace {

std::string Root(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : fallback;
}

const char* ProblemOf(DWORD openError) {
    switch (openError) {
        case 0:
            return "";
        case ERROR_FILE_NOT_FOUND:
            return "no_hardware";
        case ERROR_ACCESS_DENIED:
            return "permission_denied";
        case ERROR_SHARING_VIOLATION:
            return "busy";
        case ERROR_NOT_SUPPORTED:
            return "not_a_tty";
        default:
            return "error";
    }
}

// The open attempt the connection dialog would make (the device's own open and close: no break, the
// terminal settings put back). A port another program holds counts as busy and is not touched.
void Examine(DoctorPort& port, const std::string& sysfsRoot, const std::string& procRoot) {
    port.strById = SerialByIdAlias(port.facts.strPath);
    port.access = InspectNodeAccess(port.facts.strPath);
    if (!port.access.bExists) {
        port.strProblem = "missing";
        return;
    }
    // Before the search for a holder: every process holds /dev/null, which is no port at all.
    if (!IsTerminalNode(port.facts.strPath, sysfsRoot, procRoot)) {
        port.strProblem = "not_a_tty";
        return;
    }
    port.holder = FindPortHolder(port.facts.strPath, procRoot);
    if (port.holder) {
        port.strProblem = "busy";
        return;
    }
    std::unique_ptr<ISerialDevice> device = CreateSerialDevice();
    port.strProblem = ProblemOf(device->Open(port.facts.strPath));
    if (!port.strProblem.empty()) return;
    bool on = false;
    if (device->GetLowLatency(on)) port.lowLatency = on;
    device->Close();
}

std::vector<DoctorGroup> GroupsToCheck(const std::vector<DoctorPort>& ports) {
    std::vector<std::string> names = {"dialout"};
    for (const DoctorPort& port : ports) {
        const std::string& group = port.access.strGroup;
        if (port.access.bExists && !port.access.bOwnedByMe && !group.empty() &&
            std::find(names.begin(), names.end(), group) == names.end()) {
            names.push_back(group);
        }
    }
    std::vector<DoctorGroup> groups;
    for (const std::string& name : names) groups.push_back({name, CheckGroupMembership(name)});
    return groups;
}

}  // namespace

int DoctorReport::PortsThatOpen() const {
    // Only a port with a COM number can be chosen in Quarvel: a device without one does not count.
    return static_cast<int>(std::count_if(
        ports.begin(), ports.end(), [](const DoctorPort& p) { return p.nCom > 0 && p.strProblem.empty(); }));
}

std::vector<std::string> DoctorReport::Advice() const {
    std::vector<std::string> advice;
    for (const DoctorGroup& group : groups) {
        const GroupMembership& m = group.membership;
        if (bSuperUser || !m.bGroupExists || m.bInSession) continue;
        if (m.bInDatabase) {
            advice.push_back("You were added to the group " + group.strName +
                             " after this session started: log out and in again.");
        } else {
            advice.push_back("Join the group " + group.strName + ": sudo adduser $USER " + group.strName +
                             ", then log out and in again.");
        }
    }
    if (bModemManagerRunning) {
        advice.push_back(
            "ModemManager probes new serial devices as if they were modems; on a machine without a "
            "modem: sudo systemctl disable --now ModemManager");
    }
    if (bBrlttyInstalled) {
        advice.push_back(
            "brltty (the Braille display service) grabs some USB serial chips (CH340, FTDI); without "
            "a Braille display: sudo apt remove brltty");
    }
    for (const DoctorPort& port : ports) {
        if (port.holder) {
            advice.push_back(
                port.facts.strPath + " is held by " + port.holder->strProgram +
                (port.holder->nPid > 0 ? " (pid " + std::to_string(port.holder->nPid) + ")" : "") +
                ": close that program.");
        }
    }
    std::string mapped = portsVariable ? *portsVariable : std::string();
    int freeCom = PortTable::kFirstPort;
    for (const DoctorPort& port : ports) {
        if (port.nCom > 0 || port.strProblem == "missing" || port.strProblem == "not_a_tty") continue;
        while (freeCom <= PortTable::kLastPort && usedComs.count(freeCom) != 0) ++freeCom;
        if (freeCom > PortTable::kLastPort) break;
        mapped += (mapped.empty() ? "" : ",") + std::to_string(freeCom++) + "=" + port.facts.strPath;
        advice.push_back(port.facts.strPath +
                         " has no COM number, so Quarvel does not offer it: map it, for example "
                         "QUARVEL_PORTS=" +
                         mapped);
    }
    if (ports.empty()) {
        advice.push_back(bLinuxChecks
                             ? "No serial device found: check the cable, and that the adapter appears in "
                               "'sudo dmesg | tail' when you plug it in."
                             : "No serial device found: check the cable, and that the adapter appears "
                               "under Ports (COM & LPT) in the Device Manager when you plug it in.");
    }
    return advice;
}

DoctorReport GatherDoctorReport() {
    const std::string sysfsRoot = Root("QUARVEL_SYSFS_ROOT", "/sys");
    const std::string procRoot = Root("QUARVEL_PROC_ROOT", "/proc");
    const PortTable table = PortTable::FromEnvironment();
    std::map<std::string, int> comByDevice;  // canonical device path -> lowest COM number mapped to it
    for (int com = PortTable::kLastPort; com >= PortTable::kFirstPort; --com) {
        if (!table.PathFor(com).empty()) comByDevice[CanonicalDevicePath(table.PathFor(com))] = com;
    }
    DoctorReport report;
    // The advice for a device without a COM number extends QUARVEL_PORTS when it is set (it replaces the
    // whole table), and otherwise starts it.
    if (const char* variable = std::getenv("QUARVEL_PORTS")) {
        report.portsVariable = variable;
        for (int com = PortTable::kFirstPort; com <= PortTable::kLastPort; ++com) {
            if (!table.PathFor(com).empty()) report.usedComs.insert(com);
        }
    }
    report.strUser = CurrentUserName();
    report.bSuperUser = IsSuperUser();
    std::vector<std::string> seen;
    auto add = [&](SerialNodeFacts facts) {
        const std::string device = CanonicalDevicePath(facts.strPath);
        if (std::find(seen.begin(), seen.end(), device) != seen.end()) return;
        seen.push_back(device);
        DoctorPort port;
        const auto com = comByDevice.find(device);
        port.nCom = com == comByDevice.end() ? 0 : com->second;
        port.facts = std::move(facts);
        Examine(port, sysfsRoot, procRoot);
        report.ports.push_back(std::move(port));
    };
    for (SerialNodeFacts& facts : ListSerialNodes(sysfsRoot)) add(std::move(facts));
    if (std::getenv("QUARVEL_PORTS") != nullptr) {
        for (int com = PortTable::kFirstPort; com <= PortTable::kLastPort; ++com) {
            if (!table.PathFor(com).empty()) add(DescribeSerialNode(table.PathFor(com), sysfsRoot));
        }
    }
    // By COM number; devices without one last, in the order found.
    std::stable_sort(report.ports.begin(), report.ports.end(), [](const DoctorPort& a, const DoctorPort& b) {
        return (a.nCom == 0 ? 1000 : a.nCom) < (b.nCom == 0 ? 1000 : b.nCom);
    });
    report.bLinuxChecks = kSystemHasDeviceGroups;
    if (report.bLinuxChecks) {
        report.groups = GroupsToCheck(report.ports);
        report.bModemManagerRunning = IsProgramRunning("ModemManager", procRoot);
        report.bBrlttyInstalled = IsProgramInstalled("brltty");
        report.bBrlttyRunning = IsProgramRunning("brltty", procRoot);
    }
    return report;
}

int RunDoctorCommand(CliFormat format, CCliConsole& console) {
    const DoctorReport report = GatherDoctorReport();
    console.Out(format == CliFormat::Json ? FormatDoctorJson(report) : FormatDoctorText(report));
    return report.PortsThatOpen() > 0 ? kExitOk : kExitNoPort;
}
