#pragma once
// quarvel-cli's exit codes and its private window message.
#include "platform/win_types.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitSessionFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoPort = 3;
inline constexpr int kExitLinkLost = 4;
inline constexpr int kExitUnknownDevice = 5;
inline constexpr int kExitHistory = 6;
// Standard output could not be written (a full disk, a closed pipe or terminal, no output at all).
inline constexpr int kExitOutput = 7;

// Posted to the CLI's window when SIGINT or SIGTERM arrives (WM_APP range, unused by the rest).
inline constexpr UINT WM_CLI_STOP = 0x8001;
