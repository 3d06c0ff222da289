#pragma once
// The tty driver's low-latency flag (ASYNC_LOW_LATENCY through TIOCGSERIAL/TIOCSSERIAL), for the POSIX
// serial device and for diagnostics. Any thread, on a descriptor the caller owns.

// False when the driver has no serial settings (pseudo-terminals, CDC ACM) or the system lacks the call.
bool ReadLowLatency(int fd, bool& on);
// Sets or clears the flag, keeping every other serial setting. False when the driver refuses.
bool WriteLowLatency(int fd, bool on);
