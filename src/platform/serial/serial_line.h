#pragma once
// Line settings of an open terminal descriptor, through termios2 where the build has it so that any speed
// (14400, 21600 ...) can be set. Internal to the platform layer; any thread that owns the descriptor.
#include <cstddef>

#include "platform/serial/line_settings.h"

// Opaque copy of a terminal's settings, saved on open and restored on close.
struct SavedTerminal {
    alignas(8) unsigned char bytes[96];
    bool bValid = false;
};

bool SaveTerminal(int fd, SavedTerminal& saved);
bool RestoreTerminal(int fd, const SavedTerminal& saved);
bool ReadLineSettings(int fd, LineSettings& line);
// False when the driver refuses the settings or keeps another speed than the one asked for (a driver
// rounds what its clock cannot make); the terminal then gets back the settings it had.
bool ApplyLineSettings(int fd, const LineSettings& line);

// Test seam: stands in for a driver that rounds speeds, by passing each speed about to be set through
// `rounding`. Null, the default, sets speeds as asked. Set only while no line is being configured.
using SpeedRounding = unsigned (*)(unsigned baud);
void SetSpeedRoundingForTest(SpeedRounding rounding);
