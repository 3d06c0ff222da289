#pragma once
// The line settings both Windows serial ends use: raw 8N1 without flow control. Windows build only.
#include "platform/win32_api.h"

// DTR and RTS stay as the driver has them unless they were handshake lines; the speed is left alone.
void MakeRaw8N1(DCB& dcb);
