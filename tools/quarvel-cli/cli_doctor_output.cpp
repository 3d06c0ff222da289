// The doctor's two layouts: text for people, json (stable field names) for scripts.
#include <nlohmann/json.hpp>

#include "cli_doctor.h"

namespace {

using nlohmann::ordered_json;

ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? ordered_json(nullptr) : ordered_json(text);
}

std::string Explain(const DoctorPort& port) {
    const std::string& p = port.strProblem;
    if (p.empty()) return "yes";
    if (p == "missing") return "no: the device node does not exist";
    if (p == "no_hardware") return "no: no hardware behind the device node";
    if (p == "busy") return "no: held by another program";
    if (p == "not_a_tty") return "no: not a serial device";
    if (p == "permission_denied") {
        return "no: permission denied" +
               (port.access.strGroup.empty() ? "" : "; join the group " + port.access.strGroup);
    }
    return "no: it would not open";
}

std::string YesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace

std::string FormatDoctorText(const DoctorReport& report) {
    std::string out;
    if (report.ports.empty()) out += "No serial device nodes found.\n";
    for (const DoctorPort& port : report.ports) {
        const SerialNodeFacts& f = port.facts;
        out += (port.nCom > 0 ? "COM" + std::to_string(port.nCom) : std::string("(no COM number)")) + "  " +
               f.strPath + "\n";
        if (!port.strById.empty()) out += "  by-id:         " + port.strById + "\n";
        if (!f.strDriver.empty()) out += "  driver:        " + f.strDriver + "\n";
        if (!f.strUsbVendor.empty()) {
            out += "  usb:           " + f.strUsbVendor + ":" + f.strUsbProduct;
            if (!f.strProduct.empty()) out += "  " + f.strProduct;
            if (!f.strSerial.empty()) out += "  serial " + f.strSerial;
            out += "\n";
        }
        if (port.lowLatency || f.latencyTimerMs) {
            out += "  low latency:   " +
                   (port.lowLatency ? std::string(*port.lowLatency ? "on" : "off") : "unknown");
            if (f.latencyTimerMs) out += "  (latency timer " + std::to_string(*f.latencyTimerMs) + " ms)";
            out += "\n";
        }
        out += "  would open:    " + Explain(port) + "\n";
        if (port.holder) {
            out += "  held by:       " + (port.holder->strProgram.empty() ? "?" : port.holder->strProgram) +
                   (port.holder->nPid > 0 ? " (pid " + std::to_string(port.holder->nPid) + ")" : "") + "\n";
        }
    }
    out += "\nSystem (user " + report.strUser + ")\n";
    for (const DoctorGroup& group : report.groups) {
        const GroupMembership& m = group.membership;
        std::string state = !m.bGroupExists ? "no such group"
                            : m.bInSession  ? "member"
                            : m.bInDatabase ? "member, but not in this session (log out and in again)"
                                            : "not a member";
        out += "  group " + group.strName + ": " + state + "\n";
    }
    if (report.bLinuxChecks) {
        out += "  ModemManager running: " + YesNo(report.bModemManagerRunning) + "\n";
        out += "  brltty installed: " + YesNo(report.bBrlttyInstalled) +
               (report.bBrlttyRunning ? " (running)" : "") + "\n";
    }
    const std::vector<std::string> advice = report.Advice();
    if (!advice.empty()) out += "\nAdvice\n";
    for (const std::string& line : advice) out += "  - " + line + "\n";
    out += "\n" + std::to_string(report.PortsThatOpen()) + " of " + std::to_string(report.ports.size()) +
           " ports would open.\n";
    return out;
}

std::string FormatDoctorJson(const DoctorReport& report) {
    ordered_json ports = ordered_json::array();
    for (const DoctorPort& port : report.ports) {
        const SerialNodeFacts& f = port.facts;
        ordered_json j;
        j["com"] = port.nCom > 0 ? ordered_json(port.nCom) : ordered_json(nullptr);
        j["path"] = f.strPath;
        j["by_id"] = TextOrNull(port.strById);
        j["tty"] = TextOrNull(f.strName);
        j["driver"] = TextOrNull(f.strDriver);
        j["usb_vendor"] = TextOrNull(f.strUsbVendor);
        j["usb_product"] = TextOrNull(f.strUsbProduct);
        j["product"] = TextOrNull(f.strProduct);
        j["serial"] = TextOrNull(f.strSerial);
        j["low_latency"] = port.lowLatency ? ordered_json(*port.lowLatency) : ordered_json(nullptr);
        j["latency_timer_ms"] = f.latencyTimerMs ? ordered_json(*f.latencyTimerMs) : ordered_json(nullptr);
        j["exists"] = port.access.bExists;
        j["may_open"] = port.access.bMayOpen;
        j["would_open"] = port.strProblem.empty();
        j["problem"] = TextOrNull(port.strProblem);
        j["group"] = TextOrNull(port.access.strGroup);
        j["join_group"] =
            port.strProblem == "permission_denied" ? TextOrNull(port.access.strGroup) : ordered_json(nullptr);
        j["holder"] = port.holder
                          ? ordered_json{{"program", port.holder->strProgram},
                                         {"pid", port.holder->nPid > 0 ? ordered_json(port.holder->nPid)
                                                                       : ordered_json(nullptr)}}
                          : ordered_json(nullptr);
        ports.push_back(std::move(j));
    }
    ordered_json groups = ordered_json::array();
    for (const DoctorGroup& group : report.groups) {
        const GroupMembership& m = group.membership;
        groups.push_back({{"group", group.strName},
                          {"exists", m.bGroupExists},
                          {"member", m.bInDatabase || m.bInSession},
                          {"in_session", m.bInSession},
                          {"new_login_needed", m.bInDatabase && !m.bInSession}});
    }
    ordered_json out;
    out["ports"] = std::move(ports);
    out["system"] = {{"user", report.strUser}};
    if (report.bLinuxChecks) {
        out["system"]["groups"] = std::move(groups);
        out["system"]["modemmanager_running"] = report.bModemManagerRunning;
        out["system"]["brltty_installed"] = report.bBrlttyInstalled;
        out["system"]["brltty_running"] = report.bBrlttyRunning;
    }
    out["advice"] = report.Advice();
    out["ports_that_open"] = report.PortsThatOpen();
    return out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
