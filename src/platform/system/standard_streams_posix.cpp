#include "platform/system/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

void ReserveStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is this one; opened against its direction, so its use fails.
        const int reserved = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
        if (reserved >= 0 && reserved != fd) ::close(reserved);
    }
}
