#include "platform/serial/serial_low_latency.h"

#include "platform/platform_config.h"

#if QUARVEL_HAVE_ASYNC_LOW_LATENCY
#include <linux/serial.h>
#include <sys/ioctl.h>

bool ReadLowLatency(int fd, bool& on) {
    serial_struct settings{};
    if (ioctl(fd, TIOCGSERIAL, &settings) != 0) return false;
    on = (settings.flags & ASYNC_LOW_LATENCY) != 0;
    return true;
}

bool WriteLowLatency(int fd, bool on) {
    serial_struct settings{};
    if (ioctl(fd, TIOCGSERIAL, &settings) != 0) return false;
    if (on) {
        settings.flags |= ASYNC_LOW_LATENCY;
    } else {
        settings.flags &= ~ASYNC_LOW_LATENCY;
    }
    return ioctl(fd, TIOCSSERIAL, &settings) == 0;
}
#else
bool ReadLowLatency(int, bool&) { return false; }
bool WriteLowLatency(int, bool) { return false; }
#endif
