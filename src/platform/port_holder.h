#pragma once
// Who else holds a serial device: another process with a descriptor open on the same device number (found
// through /proc, as fuser does), or a UUCP lock file whose pid is alive. Processes of other users are not
// visible without privileges, so a holder among them is found only through a lock file or, once the device
// is opened, through its flock or TIOCEXCL. The calling process itself is never a holder. Any thread.
#include <optional>
#include <string>

struct PortHolder {
    int nPid = 0;  // 0 when the holder's pid is unknown
    std::string strProgram;
};

// Another process that holds the device at `path` (an open descriptor on the same device number found
// through procRoot/<pid>/fd, or a UUCP lock file whose pid is alive); std::nullopt when none is found.
std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot = "/proc");

// "held by picocom (pid 4711)"; "held by another program" when nothing is known of the holder.
std::string DescribePortHolder(const PortHolder& holder);
