#pragma once
// Opening the port for read and watch, as the connection dialog does: at 9600 bits per second with the
// read time-out 2000 ms, then switched to the chosen speed. Main thread.
#include <memory>
#include <optional>

#include "cli_console.h"
#include "serial/modem.h"

// The read time-out constant of every port the CLI opens, as the connection dialog's.
inline constexpr DWORD kPortReadTimeoutMs = 2000;

// The mode string of a speed index (0..9; 10 or more is taken as 9).
std::string ModeForSpeedIndex(int speedIndex);

struct PortChoice {
    std::optional<int> explicitPort;  // --port: only this one is opened
    int presetPort = -1;              // the saved port, preferred among the probed ones
    int speedIndex = 9;
};

// The chosen port, open and at the chosen speed; null (after telling the user why) when no port opened
// or the explicit one would not open.
std::unique_ptr<CModem> OpenChosenPort(const PortChoice& choice, CCliConsole& console);
