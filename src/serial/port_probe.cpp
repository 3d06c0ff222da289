#include "serial/port_probe.h"

#include "platform/serial/port_table.h"

namespace {

void NoteRefusal(const CModem& modem, int port, ProbeResult& result) {
    const DWORD error = modem.GetLastOpenError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return;
    const DeviceNodeInfo node = InspectDeviceNode(modem.GetDevicePath());
    if (!node.bExists) return;
    PortRefusal refusal;
    refusal.nPort = port;
    refusal.strPath = modem.GetDevicePath();
    refusal.eReason =
        error == ERROR_ACCESS_DENIED ? PortRefusal::Reason::AccessDenied : PortRefusal::Reason::Busy;
    if (refusal.eReason == PortRefusal::Reason::AccessDenied) refusal.strGroup = node.strGroup;
    if (refusal.eReason == PortRefusal::Reason::Busy) refusal.holder = FindPortHolder(refusal.strPath);
    result.refused.push_back(std::move(refusal));
}

}  // namespace

ProbeResult ProbePorts(DWORD readTimeoutMs, const SerialDeviceFactory& factory) {
    PortHolderSearch search;  // one look through the other processes for all the devices
    ProbeResult result;
    std::unique_ptr<CModem> spare;
    for (int port = PortTable::kFirstPort; port <= PortTable::kLastPort; ++port) {
        if (!spare) {
            spare = std::make_unique<CModem>(factory);
            ++result.nModemsCreated;
        }
        spare->Open(kProbeMode, port, readTimeoutMs);
        if (spare->IsOpen()) {
            result.ports.push_back(std::move(spare));
        } else {
            NoteRefusal(*spare, port, result);
        }
    }
    return result;
}

std::string DescribeRefusal(const PortRefusal& refusal) {
    std::string text = "COM" + std::to_string(refusal.nPort) + " (" + refusal.strPath + "): ";
    if (refusal.eReason == PortRefusal::Reason::Busy) {
        return text + "busy: " +
               (refusal.holder ? DescribePortHolder(*refusal.holder) : "in use by another program");
    }
    text += "permission denied";
    if (!refusal.strGroup.empty()) text += "; join the group " + refusal.strGroup;
    return text;
}
