#pragma once
// Line settings of an open terminal descriptor, through termios2 where the build has it so that any speed
// (14400, 21600 ...) can be set. Internal to the platform layer; any thread that owns the descriptor.
#include <cstddef>

#include "platform/line_settings.h"

// Opaque copy of a terminal's settings, saved on open and restored on close.
struct SavedTerminal {
    alignas(8) unsigned char bytes[96];
    bool bValid = false;
};

bool SaveTerminal(int fd, SavedTerminal& saved);
bool RestoreTerminal(int fd, const SavedTerminal& saved);
bool ReadLineSettings(int fd, LineSettings& line);
// False when the driver refuses; the terminal then keeps its settings.
bool ApplyLineSettings(int fd, const LineSettings& line);
