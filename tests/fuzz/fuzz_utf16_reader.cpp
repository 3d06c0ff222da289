// Fuzz target: reading a text file through CUTF16File (a damaged or foreign report file). The input's first
// byte picks how lines are read (bit 0: into a text object or into a buffer, bits 1-4: the buffer size);
// the rest is the file, held in a memory file.
// Properties: no crash or hang; reading ends within one call per byte of the file; never more units come
// out than the file has bytes; a buffer read stores at most capacity - 1 units and a NUL, never past it.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "report/utf16_file.h"

namespace {
constexpr char16_t kGuard = 0xBEEF;
constexpr int kGuardUnits = 8;

// A file descriptor on a memory file holding the bytes; -1 when the platform refuses one.
int MemoryFile(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("fuzz_utf16", MFD_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t k = write(fd, data + done, size - done);
        if (k <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(k);
    }
    return fd;
}

CString Widen(const std::string& s) { return CString(s.begin(), s.end()); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool intoBuffer = (data[0] & 1) != 0;
    const UINT capacity = 2u + ((data[0] >> 1) & 15u) * 3u;
    const int fd = MemoryFile(data + 1, size - 1);
    if (fd < 0) return 0;
    const std::size_t fileBytes = size - 1;

    CUTF16File file;
    CFileException error;
    if (!file.Open(Widen("/proc/self/fd/" + std::to_string(fd)), CFile::modeRead | CFile::shareDenyWrite,
                   &error)) {
        close(fd);
        return 0;
    }
    std::size_t calls = 0, units = 0;
    try {
        if (intoBuffer) {
            std::vector<char16_t> buffer(capacity + kGuardUnits, kGuard);
            while (file.ReadString(buffer.data(), capacity) != nullptr) {
                FUZZ_CHECK(++calls <= fileBytes + 1, "more buffer reads than the file has bytes");
                const auto end = std::find(buffer.begin(), buffer.begin() + capacity, u'\0');
                FUZZ_CHECK(end != buffer.begin() + capacity, "a buffer read without its NUL");
                for (std::size_t i = capacity; i < buffer.size(); ++i)
                    FUZZ_CHECK(buffer[i] == kGuard, "a buffer read wrote past its capacity");
                units += static_cast<std::size_t>(end - buffer.begin());
                std::fill(buffer.begin(), buffer.begin() + capacity, kGuard);
            }
        } else {
            CString line;
            while (file.ReadString(line)) {
                FUZZ_CHECK(++calls <= fileBytes + 1, "more lines than the file has bytes");
                units += line.size();
            }
        }
    } catch (const CFileException&) {
        // A read the file refuses ends the reading; that is a defined outcome.
    }
    FUZZ_CHECK(units <= fileBytes, "%zu units from a file of %zu bytes", units, fileBytes);
    file.Abort();
    close(fd);
    return 0;
}
