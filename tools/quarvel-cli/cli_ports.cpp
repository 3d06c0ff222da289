#include "cli_ports.h"

#include "cli_exit.h"
#include "ids/resource_ids.h"
#include "serial/port_probe.h"

namespace {
// The read time-out constant of every probed port, as the connection dialog uses.
constexpr DWORD kProbeReadTimeoutMs = 2000;
}  // namespace

int RunPortsCommand(CCliConsole& console) {
    const ProbeResult probe = ProbePorts(kProbeReadTimeoutMs);
    for (const auto& port : probe.ports) {
        console.Out("COM" + std::to_string(port->GetPortNumber()) + "\t" + port->GetDevicePath() + "\n");
    }
    for (const auto& refusal : probe.refused) console.ErrLine(DescribeRefusal(refusal));
    if (probe.ports.empty()) {
        console.Message(IDS_NO_PORTS);
        return kExitNoPort;
    }
    return kExitOk;
}
