#include "cli_connect.h"

#include "ids/resource_ids.h"
#include "platform/serial/port_holder.h"
#include "serial/port_probe.h"

namespace {
constexpr const char* kSpeeds[10] = {"1200",  "2400",  "4800",  "9600",  "14400",
                                     "19200", "21600", "38400", "57600", "115200"};

std::string Reason(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "no such device";
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_SHARING_VIOLATION:
            return "in use by another program";
        case ERROR_NOT_SUPPORTED:
            return "not a serial device";
        default:
            return "error " + std::to_string(error);
    }
}

std::unique_ptr<CModem> OpenExplicit(int port, CCliConsole& console) {
    auto modem = std::make_unique<CModem>();
    if (modem->Open(kProbeMode, port, kPortReadTimeoutMs)) return modem;
    const std::string& path = modem->GetDevicePath();
    if (path.empty()) {
        console.Error("COM" + std::to_string(port) + " has no device in the port table (see QUARVEL_PORTS)");
        return nullptr;
    }
    std::string why = Reason(modem->GetLastOpenError());
    if (modem->GetLastOpenError() == ERROR_ACCESS_DENIED) {
        const DeviceNodeInfo node = InspectDeviceNode(path);
        if (!node.strGroup.empty()) why += "; join the group " + node.strGroup;
    }
    if (modem->GetLastOpenError() == ERROR_SHARING_VIOLATION) {
        if (const std::optional<PortHolder> holder = FindPortHolder(path))
            why = "busy: " + DescribePortHolder(*holder);
    }
    console.Error("COM" + std::to_string(port) + " (" + path + ") would not open: " + why);
    return nullptr;
}

// As the dialog: every port that opens is probed, the preset one is preferred, otherwise the first;
// the others are closed (with their break) as the probe result goes out of scope.
std::unique_ptr<CModem> OpenProbed(int presetPort, CCliConsole& console) {
    ProbeResult probe = ProbePorts(kPortReadTimeoutMs);
    if (probe.ports.empty()) {
        for (const auto& refusal : probe.refused) console.ErrLine(DescribeRefusal(refusal));
        console.Message(IDS_NO_PORTS);
        return nullptr;
    }
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < probe.ports.size(); ++i) {
        if (probe.ports[i]->GetPortNumber() == presetPort) chosen = i;
    }
    return std::move(probe.ports[chosen]);
}
}  // namespace

std::string ModeForSpeedIndex(int speedIndex) {
    const int index = (speedIndex < 0 || speedIndex > 9) ? 9 : speedIndex;
    return std::string("baud=") + kSpeeds[index] + " parity=N data=8 stop=1";
}

std::unique_ptr<CModem> OpenChosenPort(const PortChoice& choice, CCliConsole& console) {
    std::unique_ptr<CModem> port = choice.explicitPort ? OpenExplicit(*choice.explicitPort, console)
                                                       : OpenProbed(choice.presetPort, console);
    if (port)
        port->SetMode(ModeForSpeedIndex(choice.speedIndex).c_str());  // result ignored, as in the dialog
    return port;
}
