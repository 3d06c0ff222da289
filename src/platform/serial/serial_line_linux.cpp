// termios2 lives in the kernel's headers, which cannot be mixed with <termios.h>; this file therefore
// includes only those (or only <termios.h> when the build has no termios2).
#include "platform/serial/serial_line.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "platform/platform_config.h"

#if QUARVEL_HAVE_TERMIOS2
#include <asm/termbits.h>
using TerminalState = struct termios2;
#else
#include <termios.h>
using TerminalState = struct termios;
#endif

static_assert(sizeof(TerminalState) <= sizeof(SavedTerminal::bytes));

namespace {

struct StandardSpeed {
    unsigned nBaud;
    unsigned nCode;
};
constexpr StandardSpeed kStandardSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool FindStandardSpeed(unsigned baud, unsigned& code) {
    for (const StandardSpeed& speed : kStandardSpeeds) {
        if (speed.nBaud == baud) {
            code = speed.nCode;
            return true;
        }
    }
    return false;
}

int IoctlRetry(int fd, unsigned long request, void* arg) {
    int rc;
    do {
        rc = ioctl(fd, request, arg);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

#if QUARVEL_HAVE_TERMIOS2
bool GetState(int fd, TerminalState& state) { return IoctlRetry(fd, TCGETS2, &state) == 0; }
bool SetState(int fd, const TerminalState& state) {
    return IoctlRetry(fd, TCSETS2, const_cast<TerminalState*>(&state)) == 0;
}
unsigned GetSpeed(const TerminalState& state) { return state.c_ospeed; }
bool SetSpeed(TerminalState& state, unsigned baud) {
    unsigned code = 0;
    state.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    if (FindStandardSpeed(baud, code)) {
        state.c_cflag |= code;
    } else {
        state.c_cflag |= BOTHER;  // the input speed follows the output speed (its field stays 0)
    }
    state.c_ispeed = baud;
    state.c_ospeed = baud;
    return true;
}
#else
bool GetState(int fd, TerminalState& state) { return IoctlRetry(fd, TCGETS, &state) == 0; }
bool SetState(int fd, const TerminalState& state) {
    return IoctlRetry(fd, TCSETS, const_cast<TerminalState*>(&state)) == 0;
}
unsigned GetSpeed(const TerminalState& state) {
    const unsigned code = cfgetospeed(&state);
    for (const StandardSpeed& speed : kStandardSpeeds) {
        if (speed.nCode == code) return speed.nBaud;
    }
    return 0;
}
bool SetSpeed(TerminalState& state, unsigned baud) {
    unsigned code = 0;
    if (!FindStandardSpeed(baud, code)) return false;  // without termios2 only the standard table exists
    return cfsetspeed(&state, code) == 0;
}
#endif

SpeedRounding g_speedRounding = nullptr;

}  // namespace

bool SaveTerminal(int fd, SavedTerminal& saved) {
    TerminalState state{};
    saved.bValid = GetState(fd, state);
    if (saved.bValid) std::memcpy(saved.bytes, &state, sizeof state);
    return saved.bValid;
}

bool RestoreTerminal(int fd, const SavedTerminal& saved) {
    if (!saved.bValid) return false;
    TerminalState state{};
    std::memcpy(&state, saved.bytes, sizeof state);
    return SetState(fd, state);
}

bool ReadLineSettings(int fd, LineSettings& line) {
    TerminalState state{};
    if (!GetState(fd, state)) return false;
    line.nBaud = GetSpeed(state);
    switch (state.c_cflag & CSIZE) {
        case CS5:
            line.nDataBits = 5;
            break;
        case CS6:
            line.nDataBits = 6;
            break;
        case CS7:
            line.nDataBits = 7;
            break;
        default:
            line.nDataBits = 8;
            break;
    }
    if (!(state.c_cflag & PARENB)) {
        line.cParity = 'N';
    } else if (state.c_cflag & CMSPAR) {
        line.cParity = (state.c_cflag & PARODD) ? 'M' : 'S';
    } else {
        line.cParity = (state.c_cflag & PARODD) ? 'O' : 'E';
    }
    if (!(state.c_cflag & CSTOPB)) {
        line.eStopBits = StopBits::One;
    } else {
        line.eStopBits = line.nDataBits == 5 ? StopBits::OnePointFive : StopBits::Two;
    }
    return true;
}

void SetSpeedRoundingForTest(SpeedRounding rounding) { g_speedRounding = rounding; }

bool ApplyLineSettings(int fd, const LineSettings& line) {
    TerminalState before{};
    if (!GetState(fd, before)) return false;
    TerminalState state = before;
    if (!SetSpeed(state, g_speedRounding ? g_speedRounding(line.nBaud) : line.nBaud)) return false;
    static constexpr unsigned kSizes[] = {CS5, CS6, CS7, CS8};
    state.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    state.c_cflag |= kSizes[line.nDataBits < 5 || line.nDataBits > 8 ? 3 : line.nDataBits - 5];
    switch (line.cParity) {
        case 'E':
            state.c_cflag |= PARENB;
            break;
        case 'O':
            state.c_cflag |= PARENB | PARODD;
            break;
        case 'M':
            state.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 'S':
            state.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // Linux makes 1.5 stop bits out of CSTOPB with 5 data bits, as the UARTs do.
    if (line.eStopBits != StopBits::One) state.c_cflag |= CSTOPB;
    if (!SetState(fd, state)) return false;
    // A driver may take the call but round the speed: read back what it kept, and where that is not what
    // was asked for, put the line back as it was rather than leave it at a speed nobody chose.
    TerminalState check{};
    if (GetState(fd, check) && GetSpeed(check) == line.nBaud) return true;
    (void)SetState(fd, before);
    return false;
}
