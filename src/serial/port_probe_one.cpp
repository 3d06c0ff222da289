#include "serial/port_probe_one.h"

#include "platform/serial/port_holder.h"
#include "platform/serial/port_table.h"
#include "serial/port_probe.h"

std::unique_ptr<CModem> ProbeOnePort(int port, DWORD readTimeoutMs, const SerialDeviceFactory& factory,
                                     DWORD* openError) {
    if (FindPortHolder(PortTable::FromEnvironment().PathFor(port))) {
        *openError = ERROR_SHARING_VIOLATION;
        return nullptr;
    }
    auto modem = std::make_unique<CModem>(factory);
    if (modem->Open(kProbeMode, port, readTimeoutMs)) {
        *openError = 0;
        return modem;
    }
    *openError = modem->GetLastOpenError();
    return nullptr;
}
