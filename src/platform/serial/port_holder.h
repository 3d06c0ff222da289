#pragma once
// Who else holds a serial device: another process with a descriptor open on the same device number (found
// through /proc, as fuser does), or a UUCP lock file whose pid is alive. Processes of other users are not
// visible without privileges, so a holder among them is found only through a lock file or, once the device
// is opened, through its flock or TIOCEXCL. The calling process itself is never a holder. Any thread.
#include <sys/types.h>

#include <map>
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

// While an object of this class lives, FindPortHolder on the same thread looks through /proc only once, at
// its first call, and answers every later call from that look (lock files are still read at each call). A
// probe of many ports costs one search instead of one per device. A holder that opens a device later than
// that look is still refused by its lock file, flock or TIOCEXCL. An inner scope serves until it ends; one
// thread.
class PortHolderSearch {
public:
    PortHolderSearch();
    PortHolderSearch(const PortHolderSearch&) = delete;
    PortHolderSearch& operator=(const PortHolderSearch&) = delete;
    ~PortHolderSearch();

    // Another process with a descriptor on device `rdev` (looked up in procRoot the first time).
    std::optional<int> HolderOf(dev_t rdev, const std::string& procRoot);

private:
    bool m_bDone = false;
    std::string m_strProcRoot;
    std::map<dev_t, int> m_holders;  // device number -> the first other process found with it open
    PortHolderSearch* m_pOuter = nullptr;
};
