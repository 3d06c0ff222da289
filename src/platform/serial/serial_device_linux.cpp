// The serial device over a POSIX tty: poll() on the device and an eventfd for reads and their cancel, a
// small read-ahead block so that one read() serves the receiver's several small reads of a frame, a
// non-blocking descriptor with a queue and a lazily started drain thread for writes.
#include "platform/serial/serial_device.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform_config.h"
#include "platform/serial/port_holder.h"
#include "platform/serial/serial_line.h"
#include "platform/serial/serial_low_latency.h"
#include "platform/serial/uucp_lock.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Call>
auto RetryEintr(Call call) {
    decltype(call()) rc;
    do {
        rc = call();
    } while (rc < 0 && errno == EINTR);
    return rc;
}

DWORD OpenErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case EIO:
            return ERROR_FILE_NOT_FOUND;  // no node, or a node with no hardware behind it
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case EBUSY:
        case EWOULDBLOCK:
            return ERROR_SHARING_VIOLATION;
        default:
            return ERROR_GEN_FAILURE;
    }
}

bool IsDeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EBADF; }

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);  // close is not retried on EINTR: the descriptor is released either way
    fd = -1;
}

void SignalEventFd(int fd) {
    const std::uint64_t one = 1;
    (void)RetryEintr([&] { return ::write(fd, &one, sizeof one); });
}

void DrainEventFd(int fd) {
    std::uint64_t count = 0;
    (void)RetryEintr([&] { return ::read(fd, &count, sizeof count); });
}

bool MakeRaw8N1(int fd) {
    termios tio{};
    if (RetryEintr([&] { return tcgetattr(fd, &tio); }) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB | CSIZE);
    tio.c_cflag |= CS8;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // VMIN 1 makes an empty non-blocking read report EAGAIN, so a read of 0 can only mean a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return RetryEintr([&] { return tcsetattr(fd, TCSANOW, &tio); }) == 0;
}

class PosixSerialDevice final : public ISerialDevice {
public:
    ~PosixSerialDevice() override { Close(); }

    DWORD Open(const std::string& path) override;
    bool GetLine(LineSettings& line) override { return m_fd >= 0 && ReadLineSettings(m_fd, line); }
    bool SetLine(const LineSettings& line) override { return m_fd >= 0 && ApplyLineSettings(m_fd, line); }
    bool Purge() override;
    DeviceReadResult Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) override;
    bool CancelRead() override;
    std::uint64_t UnreadBytes() override {
        // The read-ahead first: a byte moves from the driver into it and never back, so none is counted
        // twice (one moving in between is missed, which only makes the count smaller).
        const std::uint64_t ahead = m_nAheadWaiting.load();
        int queued = 0;
        if (m_fd < 0 || ioctl(m_fd, FIONREAD, &queued) != 0 || queued < 0) queued = 0;
        return ahead + static_cast<std::uint64_t>(queued);
    }
    bool Write(std::uint32_t n, const BYTE* data) override;
    bool SetBreak() override {
        return m_fd >= 0 && RetryEintr([&] { return ioctl(m_fd, TIOCSBRK); }) == 0;
    }
    bool GetLowLatency(bool& on) override { return m_fd >= 0 && ReadLowLatency(m_fd, on); }
    bool SetLowLatency(bool on) override { return m_fd >= 0 && WriteLowLatency(m_fd, on); }
    void Close() override;

private:
    DeviceReadResult Fail(std::uint32_t received);
    std::uint32_t TakeReadAhead(std::uint32_t n, BYTE* buffer);
    ssize_t ReadDriver(std::uint32_t n, BYTE* buffer, std::uint32_t* got);
    void DropReadAhead() {
        m_nAheadHead = m_nAheadEnd = 0;
        m_nAheadWaiting.store(0);
        m_bDriverDrained = false;
    }
    bool StartDrainLocked();
    void DrainThread();
    bool WriteQueueLocked();
    void FailWritesLocked();
    void StopDrainThread();

    int m_fd = -1;
    int m_cancelFd = -1;  // CancelRead signals it; Read polls it beside the device
    int m_drainWakeFd = -1;
    SavedTerminal m_saved;
    UucpLock m_lock;                            // announces the hold to other programs while open
    std::atomic<bool> m_bGone{false};           // the device hung up or failed
    std::atomic<bool> m_bCancelPending{false};  // set by CancelRead, taken by the Read it ends

    // Bytes the driver handed over beyond what a Read asked for; the next Reads take them first, exactly
    // as if they still waited in the driver. Touched by the reading thread only (Open, Purge and Close run
    // while nobody reads).
    static constexpr std::uint32_t kReadAhead = 256;
    BYTE m_readAhead[kReadAhead] = {};
    std::uint32_t m_nAheadHead = 0;
    std::uint32_t m_nAheadEnd = 0;
    std::atomic<std::uint32_t> m_nAheadWaiting{0};  // m_nAheadEnd - m_nAheadHead, for UnreadBytes
    // The last read() took less than it asked for, so the driver had nothing more: the next wait polls
    // first instead of spending a read() on EAGAIN.
    bool m_bDriverDrained = false;

    std::mutex m_writeMutex;  // guards the queue and the drain thread's state
    std::vector<BYTE> m_queue;
    std::size_t m_nQueueHead = 0;
    std::thread m_drain;
    bool m_bDrainStop = false;
};

DWORD PosixSerialDevice::Open(const std::string& path) {
    if (m_fd >= 0) return ERROR_GEN_FAILURE;
    m_cancelFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_drainWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_cancelFd < 0 || m_drainWakeFd < 0) {
        CloseFd(m_cancelFd);
        CloseFd(m_drainWakeFd);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const int fd =
        RetryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    DWORD error = fd < 0 ? OpenErrorFromErrno(errno) : 0;
    if (error == 0 && !isatty(fd)) error = ERROR_NOT_SUPPORTED;
    // Opening changes nothing on a device that another program holds; everything after this does, so
    // its hold (a descriptor of its own, or a lock file) is looked for first. Looking only once the open
    // succeeded spares the search for the many nodes that have no hardware behind them.
    if (error == 0 && FindPortHolder(path)) error = ERROR_SHARING_VIOLATION;
    // The lock comes before TIOCEXCL so that a refused open never leaves another holder's tty exclusive.
    // flock also keeps out root, whom TIOCEXCL lets through.
    if (error == 0 && RetryEintr([&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        error = OpenErrorFromErrno(errno);
    }
    // A live lock file of another program refuses the device as well; refused, nothing has changed yet.
    if (error == 0 && !m_lock.Acquire(path)) error = ERROR_SHARING_VIOLATION;
#if QUARVEL_HAVE_TIOCEXCL
    if (error == 0) (void)ioctl(fd, TIOCEXCL);
#endif
    if (error == 0) {
        SaveTerminal(fd, m_saved);
        if (!MakeRaw8N1(fd)) error = ERROR_NOT_SUPPORTED;
    }
    if (error != 0) {
        if (fd >= 0) {
#if QUARVEL_HAVE_TIOCEXCL
            if (m_saved.bValid) (void)ioctl(fd, TIOCNXCL);
#endif
            ::close(fd);
        }
        m_saved.bValid = false;
        m_lock.Release();
        CloseFd(m_cancelFd);
        CloseFd(m_drainWakeFd);
        return error;
    }
    m_fd = fd;
    m_bGone = false;
    m_bCancelPending = false;
    DropReadAhead();
    return 0;
}

bool PosixSerialDevice::Purge() {
    if (m_fd < 0) return false;
    {
        std::lock_guard lock(m_writeMutex);
        m_queue.clear();
        m_nQueueHead = 0;
    }
    DropReadAhead();
    return RetryEintr([&] { return tcflush(m_fd, TCIOFLUSH); }) == 0;
}

DeviceReadResult PosixSerialDevice::Fail(std::uint32_t received) {
    m_bGone = true;
    if (received > 0) return {DeviceReadResult::Outcome::Data, received, 0};
    return {DeviceReadResult::Outcome::Failed, 0, ERROR_DEVICE_NOT_CONNECTED};
}

std::uint32_t PosixSerialDevice::TakeReadAhead(std::uint32_t n, BYTE* buffer) {
    const std::uint32_t count = std::min(n, m_nAheadEnd - m_nAheadHead);
    std::memcpy(buffer, m_readAhead + m_nAheadHead, count);
    m_nAheadHead += count;
    if (m_nAheadHead == m_nAheadEnd) m_nAheadHead = m_nAheadEnd = 0;
    m_nAheadWaiting.store(m_nAheadEnd - m_nAheadHead);
    return count;
}

// One read() of the driver for a Read that still wants n bytes (the read-ahead block is empty): a small
// request reads the whole block's worth and keeps the rest, a large one reads straight into the caller's
// buffer. Adds what the caller gets to *got; returns what read() returned (errno set when negative).
ssize_t PosixSerialDevice::ReadDriver(std::uint32_t n, BYTE* buffer, std::uint32_t* got) {
    const bool direct = n >= kReadAhead;
    const std::size_t asked = direct ? n : kReadAhead;
    const ssize_t k = RetryEintr([&] { return ::read(m_fd, direct ? buffer : m_readAhead, asked); });
    if (k < 0) {
        if (errno == EAGAIN) m_bDriverDrained = true;
        return k;
    }
    m_bDriverDrained = static_cast<std::size_t>(k) < asked;
    if (direct) {
        *got += static_cast<std::uint32_t>(k);
    } else {
        m_nAheadEnd = static_cast<std::uint32_t>(k);
        *got += TakeReadAhead(n, buffer);
    }
    return k;
}

DeviceReadResult PosixSerialDevice::Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) {
    using Outcome = DeviceReadResult::Outcome;
    if (m_fd < 0) return {Outcome::Failed, 0, ERROR_INVALID_HANDLE};
    // Bytes already read ahead arrived before the failure (a failed write), so they are still delivered.
    if (m_bGone && m_nAheadHead == m_nAheadEnd) return {Outcome::Failed, 0, ERROR_DEVICE_NOT_CONNECTED};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint32_t got = 0;
    short revents = 0;  // what poll last reported for the device
    while (got < n) {
        // A wake-up is taken first, from the flag, so no syscall is spent on it; bytes already taken
        // are handed over before it and the wake-up stays pending for the next Read. Bytes read ahead
        // count as still waiting in the driver: they stay for the Read after the wake-up.
        if (m_bCancelPending.load(std::memory_order_acquire)) {
            if (got > 0) return {Outcome::Data, got, 0};
            m_bCancelPending.store(false, std::memory_order_relaxed);
            DrainEventFd(m_cancelFd);
            return {Outcome::Cancelled, 0, 0};
        }
        if (m_nAheadHead != m_nAheadEnd) {
            got += TakeReadAhead(n - got, buffer + got);
            continue;
        }
        // Read before polling unless the driver was found empty: once a frame has begun, its bytes are
        // usually there already.
        if (!m_bDriverDrained) {
            const ssize_t k = ReadDriver(n - got, buffer + got, &got);
            if (k > 0) continue;
            if (k == 0) return Fail(got);  // end of file: the other side has gone
            if (errno != EAGAIN) {
                if (IsDeviceGone(errno)) return Fail(got);
                if (got > 0) return {Outcome::Data, got, 0};
                return {Outcome::Failed, 0, ERROR_GEN_FAILURE};
            }
            if (revents & (POLLHUP | POLLERR | POLLNVAL)) return Fail(got);  // reported, yet nothing to read
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
        // Past the deadline the poll only looks (time-out 0), so bytes already there are still taken.
        const int ready = ::poll(fds, 2, left > 0 ? static_cast<int>(left) : 0);
        if (ready < 0 && errno != EINTR) return Fail(got);
        if (ready == 0) break;  // the time-out passed
        revents = ready > 0 ? fds[0].revents : 0;
        if (revents != 0) m_bDriverDrained = false;  // bytes, or a hang-up that the read confirms
        // An eventfd count whose flag was already taken is stale: drop it and go on waiting.
        if (ready > 0 && (fds[1].revents & POLLIN) && !m_bCancelPending.load(std::memory_order_acquire)) {
            DrainEventFd(m_cancelFd);
        }
        if (m_bGone.load(std::memory_order_acquire)) return Fail(got);  // writing failed meanwhile
    }
    return {Outcome::Data, got, 0};
}

bool PosixSerialDevice::CancelRead() {
    if (m_cancelFd < 0) return false;
    // The flag before the eventfd: a reader woken by the eventfd always finds the flag set.
    m_bCancelPending.store(true, std::memory_order_release);
    SignalEventFd(m_cancelFd);
    return true;
}

bool PosixSerialDevice::Write(std::uint32_t n, const BYTE* data) {
    if (m_fd < 0 || m_bGone) return false;
    if (n == 0) return true;
    std::lock_guard lock(m_writeMutex);
    std::uint32_t taken = 0;
    if (m_nQueueHead == m_queue.size()) {  // nothing queued: order allows a direct write
        const ssize_t k = RetryEintr([&] { return ::write(m_fd, data, n); });
        if (k < 0 && errno != EAGAIN) {
            FailWritesLocked();
            return false;
        }
        taken = k < 0 ? 0 : static_cast<std::uint32_t>(k);
    }
    if (taken == n) return true;
    m_queue.insert(m_queue.end(), data + taken, data + n);
    return StartDrainLocked();
}

bool PosixSerialDevice::StartDrainLocked() {
    if (!m_drain.joinable()) {
        m_bDrainStop = false;
        try {
            m_drain = std::thread([this] { DrainThread(); });
        } catch (...) {
            // Without a thread the bytes could only go out by blocking the writer, whom Write must never
            // hold up: the device cannot take them, so the link fails as at a hang-up.
            FailWritesLocked();
            return false;
        }
    }
    SignalEventFd(m_drainWakeFd);
    return true;
}

// Writes what the driver takes now. False when the device has failed (the queue is then dropped).
bool PosixSerialDevice::WriteQueueLocked() {
    while (m_nQueueHead < m_queue.size()) {
        const ssize_t k = RetryEintr(
            [&] { return ::write(m_fd, m_queue.data() + m_nQueueHead, m_queue.size() - m_nQueueHead); });
        if (k < 0) {
            if (errno == EAGAIN) break;
            FailWritesLocked();
            return false;
        }
        m_nQueueHead += static_cast<std::size_t>(k);
    }
    if (m_nQueueHead == m_queue.size()) {
        m_queue.clear();
        m_nQueueHead = 0;
    }
    return true;
}

void PosixSerialDevice::DrainThread() {
    for (;;) {
        bool pending = false;
        {
            std::lock_guard lock(m_writeMutex);
            if (m_bDrainStop) return;
            pending = m_nQueueHead < m_queue.size() && !m_bGone;
        }
        // The device is watched only while bytes wait, so a hung-up line cannot keep poll() returning.
        pollfd fds[2] = {{m_drainWakeFd, POLLIN, 0}, {pending ? m_fd : -1, POLLOUT, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            // Nothing queued could go out any more: fail the device so Write stops taking bytes, then end.
            std::lock_guard lock(m_writeMutex);
            FailWritesLocked();
            return;
        }
        if (fds[0].revents & POLLIN) DrainEventFd(m_drainWakeFd);
        if (fds[1].revents & (POLLOUT | POLLHUP | POLLERR)) {
            std::lock_guard lock(m_writeMutex);
            if (WriteQueueLocked() && (fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLOUT)) {
                FailWritesLocked();
            }
        }
    }
}

// The device can take no more bytes: drop the queue, refuse every later Write and end the Read in progress
// (it fails, as at a hang-up; bytes already received still come first).
void PosixSerialDevice::FailWritesLocked() {
    m_bGone.store(true, std::memory_order_release);
    m_queue.clear();
    m_nQueueHead = 0;
    SignalEventFd(m_cancelFd);
}

void PosixSerialDevice::StopDrainThread() {
    {
        std::lock_guard lock(m_writeMutex);
        m_bDrainStop = true;
        m_queue.clear();
        m_nQueueHead = 0;
    }
    if (m_drain.joinable()) {
        SignalEventFd(m_drainWakeFd);
        m_drain.join();
    }
}

void PosixSerialDevice::Close() {
    if (m_fd < 0) return;
    StopDrainThread();
#if QUARVEL_HAVE_TIOCEXCL
    // A tty whose state outlives this descriptor (a pseudo-terminal's slave while its master is open) stays
    // exclusive otherwise.
    (void)ioctl(m_fd, TIOCNXCL);
#endif
    RestoreTerminal(m_fd, m_saved);
    m_saved.bValid = false;
    DropReadAhead();
    CloseFd(m_fd);
    m_lock.Release();
    CloseFd(m_cancelFd);
    CloseFd(m_drainWakeFd);
}

}  // namespace

std::unique_ptr<ISerialDevice> CreateSerialDevice() { return std::make_unique<PosixSerialDevice>(); }

DeviceNodeInfo InspectDeviceNode(const std::string& path) {
    DeviceNodeInfo info;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return info;
    info.bExists = true;
    std::vector<char> scratch(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(st.st_gid, &entry, scratch.data(), scratch.size(), &found) == 0 && found != nullptr) {
        info.strGroup = found->gr_name;
    }
    return info;
}
