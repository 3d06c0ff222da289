// The usage text's parts for a POSIX system: the port table, the XDG folders, the signals.
#include "cli_options.h"

std::string CliDoctorUsageOfThisSystem() {
    return R"(  doctor     Why is my port not there? Every serial device with its COM number, path,
             /dev/serial/by-id name, driver, USB vendor:product, product and serial number,
             low-latency state and FTDI latency timer, whether you may open it (and the group
             to join), who holds it; then the system checks (your groups, ModemManager,
             brltty) with advice. --format json gives stable field names. Exits 0 when at
             least one port would open, 3 otherwise.
)";
}

std::string CliUsageOfThisSystem() {
    return R"(Environment:
  QUARVEL_PORTS     Replaces the table of COM numbers and devices, for example
                    QUARVEL_PORTS=1=/dev/pts/3,7=/dev/ttyUSB0
  XDG_CONFIG_HOME   Where Quarvel's settings live (default ~/.config).
  XDG_STATE_HOME    Where the history lives: quarvel/history.sqlite3 (default ~/.local/state).
  QUARVEL_CODEPAGE  The 8-bit code page of the tool's texts (default 1252).
  QUARVEL_SYSFS_ROOT, QUARVEL_PROC_ROOT
                    For testing only: where doctor reads /sys and /proc.

)";
}

std::string CliStopStatusesOfThisSystem() {
    return R"(  130, 143, 129  read stopped by Ctrl-C, SIGTERM or SIGHUP (the session is cut short, the port
     released); a second signal, or one that cannot be acted on within 2 s, ends any command
     at once with the same status
)";
}
