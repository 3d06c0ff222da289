#pragma once
// The port probe shared by the "Connection" dialog and quarvel-cli: opens COM1 to COM256 at 9600 bits per
// second and keeps every port that opened, in ascending order. For ports whose device exists but refused to
// open it says why, so the caller can tell the user. Runs on the caller's thread; the caller owns the result.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial/port_holder.h"
#include "platform/serial/serial_device.h"
#include "serial/modem.h"

inline constexpr const char* kProbeMode = "baud=9600 parity=N data=8 stop=1";

struct PortRefusal {
    enum class Reason { AccessDenied, Busy };
    int nPort = 0;
    std::string strPath;
    Reason eReason = Reason::Busy;
    std::string strGroup;  // AccessDenied: the group owning the device (for example "dialout"), if known
    std::optional<PortHolder> holder;  // Busy: the program that holds it, when it can be seen
};

struct ProbeResult {
    std::vector<std::unique_ptr<CModem>> ports;  // open, at 9600, ascending by port number
    std::vector<PortRefusal> refused;            // ascending by port number
    int nModemsCreated = 0;                      // opened ports + the one spare left over at the end
};

// One spare CModem is reused after each failed Open, as the dialog's probe does.
ProbeResult ProbePorts(DWORD readTimeoutMs, const SerialDeviceFactory& factory = {});

// A short English explanation of a refusal ("COM3 (/dev/ttyUSB0): permission denied; join the group dialout",
// "COM1 (/dev/ttyS0): busy: held by minicom (pid 4711)").
std::string DescribeRefusal(const PortRefusal& refusal);
