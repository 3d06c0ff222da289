#pragma once
// `quarvel-cli doctor`: why a port is or is not there. Gathers, for every serial device node (and every
// path of QUARVEL_PORTS), what sysfs, the device node, an open attempt and the process table say, then
// the system checks (groups, ModemManager, brltty). Main thread.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli_console.h"
#include "cli_options.h"
#include "platform/serial/port_holder.h"
#include "platform/serial/serial_node_facts.h"
#include "platform/system/system_facts.h"

struct DoctorPort {
    int nCom = 0;  // 0: no COM number maps to it
    SerialNodeFacts facts;
    std::string strById;
    NodeAccess access;
    std::optional<PortHolder> holder;
    std::string
        strProblem;  // empty when it would open; "missing", "no_hardware", "permission_denied", "busy", ...
    std::optional<bool> lowLatency;  // nothing: the driver has no such setting, or the port did not open
};

struct DoctorGroup {
    std::string strName;
    GroupMembership membership;
};

struct DoctorReport {
    std::string strUser;
    bool bSuperUser = false;   // root needs no group
    bool bLinuxChecks = true;  // groups, ModemManager and brltty were checked (not on Windows)
    std::vector<DoctorPort> ports;
    std::vector<DoctorGroup> groups;
    bool bModemManagerRunning = false;
    bool bBrlttyInstalled = false;
    bool bBrlttyRunning = false;
    std::optional<std::string> portsVariable;  // QUARVEL_PORTS as set; nothing when unset
    std::set<int> usedComs;                    // the COM numbers QUARVEL_PORTS maps
    // The ports with a COM number that would open (a device without one cannot be chosen).
    int PortsThatOpen() const;
    std::vector<std::string> Advice() const;
};

// The sysfs and /proc roots: QUARVEL_SYSFS_ROOT and QUARVEL_PROC_ROOT (for testing only), else /sys, /proc.
DoctorReport GatherDoctorReport();
std::string FormatDoctorText(const DoctorReport& report);
std::string FormatDoctorJson(const DoctorReport& report);

// Prints the report; returns 0 when at least one port with a COM number would open, 3 otherwise.
int RunDoctorCommand(CliFormat format, CCliConsole& console);
