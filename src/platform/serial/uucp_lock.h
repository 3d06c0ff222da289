#pragma once
// UUCP lock files, the convention serial programs use to announce that they hold a device: LCK..<name> in
// the lock folder (/run/lock, and /var/lock where it is a folder of its own), holding the holder's pid as
// ten right-aligned ASCII digits and a newline. <name> is the device path below /dev with '/' as '_'
// ("ttyUSB0", "pts_3"). A lock whose pid no longer exists is stale and counts for nothing.
// QUARVEL_LOCK_DIR, when set, replaces the lock folders by that one folder; it is meant for tests only.
#include <string>
#include <vector>

// The folders searched for locks, in order; the first one that is writable receives this process's locks.
std::vector<std::string> UucpLockFolders();
// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3; the base name for a path outside /dev.
std::string UucpLockName(const std::string& devicePath);
// The pid a lock file names: 0 when the file is missing or holds no pid.
int ReadUucpLockPid(const std::string& lockFile);
// True when a process with this pid exists (one of another user's included).
bool IsProcessAlive(int pid);

// The lock of one device that this process holds. Owner's thread; the destructor releases it. While any
// lock is held the process removes it at exit too (exit and quick_exit), and ReleaseAllUucpLocks removes
// every one at once for a program that ends otherwise.
class UucpLock {
public:
    UucpLock() = default;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    ~UucpLock() { Release(); }

    // Writes the lock for `devicePath` in the first writable lock folder, replacing a stale one. False only
    // when another living process holds a lock on the device; where no folder is writable it is skipped
    // (true, nothing written).
    bool Acquire(const std::string& devicePath);
    // Removes the lock file written by Acquire, if any.
    void Release();
    // The lock file written, empty when none.
    const std::string& File() const { return m_strFile; }

private:
    std::string m_strFile;
};

// Removes every lock file this process still holds (the exit paths call it; safe to call more than once).
void ReleaseAllUucpLocks();
