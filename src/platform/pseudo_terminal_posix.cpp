#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/pseudo_terminal.h"
#include "platform/serial_line.h"

namespace {

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    HangUp();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool PseudoTerminal::Create(std::string* error) {
    std::string reason;
    if (m_wakeFd < 0) m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int master = m_wakeFd < 0 ? -1 : posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128] = {};
    if (master < 0) {
        reason = Reason("posix_openpt");
    } else if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        reason = Reason("unlockpt");
    }
    // Raw on the slave side before any client opens it: no echo, no line editing, no CR/LF mangling.
    const int slave = reason.empty() ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK) : -1;
    if (reason.empty() && slave < 0) reason = Reason("open slave");
    if (reason.empty() && !MakeRaw(slave)) reason = Reason("raw mode");
    if (!reason.empty()) {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
        if (error) *error = reason;
        return false;
    }
    m_fd = master;
    m_slaveFd = slave;
    m_strPath = name;
    return true;
}

bool PseudoTerminal::Attach(const std::string& path, std::string* error) {
    if (m_wakeFd < 0) m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int fd = m_wakeFd < 0 ? -1 : ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 || !MakeRaw(fd)) {
        if (error) *error = Reason(path.c_str());
        if (fd >= 0) ::close(fd);
        return false;
    }
    m_fd = fd;
    m_strPath = path;
    return true;
}

int PseudoTerminal::Read(BYTE* buffer, std::size_t capacity, int timeoutMs) {
    if (m_fd < 0) return kGone;
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return kGone;
        if (ready == 0) return 0;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            (void)::read(m_wakeFd, &count, sizeof count);
            return kStopped;
        }
        const ssize_t k = ::read(m_fd, buffer, capacity);
        if (k > 0) return static_cast<int>(k);
        if (k < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR)) return kGone;
            continue;
        }
        return kGone;
    }
}

bool PseudoTerminal::Write(const BYTE* data, std::size_t n) {
    std::size_t done = 0;
    while (m_fd >= 0 && done < n) {
        const ssize_t k = ::write(m_fd, data + done, n - done);
        if (k > 0) {
            done += static_cast<std::size_t>(k);
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
        if (fds[1].revents & POLLIN) return false;  // left pending for the Read that follows
        if (fds[0].revents & (POLLERR | POLLNVAL)) return false;
    }
    return done == n;
}

void PseudoTerminal::Wake() {
    if (m_wakeFd < 0) return;
    const std::uint64_t one = 1;
    (void)::write(m_wakeFd, &one, sizeof one);
}

void PseudoTerminal::HangUp() {
    if (m_slaveFd >= 0) ::close(m_slaveFd);
    if (m_fd >= 0) ::close(m_fd);
    m_slaveFd = -1;
    m_fd = -1;
}

bool PseudoTerminal::GetClientLine(LineSettings& line) const {
    return m_slaveFd >= 0 && ReadLineSettings(m_slaveFd, line);
}

void PseudoTerminal::FlushToClient() {
    if (m_slaveFd >= 0) (void)tcflush(m_slaveFd, TCIFLUSH);
}
