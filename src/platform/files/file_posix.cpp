// CFile and CStdioFile over POSIX descriptors and stdio streams.
#include "platform/files/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/text/utf8.h"

namespace {
CString FullPath(const CString& fileName) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(Utf16ToUtf8(fileName), ec);
    if (ec) return fileName;
    CString out;
    Utf8ToUtf16(absolute.lexically_normal().string(), out);
    return out;
}

int LockFor(UINT flags) {
    switch (flags & 0x70) {
        case CFile::shareDenyNone:
            return 0;
        case CFile::shareDenyWrite:
            return LOCK_SH;
        default:
            return LOCK_EX;  // shareCompat, shareExclusive, shareDenyRead
    }
}

// A FIFO, a socket or a terminal is a stream another program feeds or drains at its own pace, not a
// file: reading or writing it can block without end, so it is refused (ENXIO, as open() itself refuses
// a socket). Anything else gets its blocking mode back, so it behaves as it always did. 0 when kept.
int RefuseStream(int fd, const struct stat& st) {
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || (S_ISCHR(st.st_mode) && isatty(fd))) return ENXIO;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return errno;
    return 0;
}

const char* StreamMode(UINT flags) {
    if (flags & CFile::modeReadWrite) return "r+b";
    if (flags & CFile::modeWrite) return "wb";
    return "rb";
}
}  // namespace

CFile::~CFile() { CFile::Abort(); }

BOOL CFile::Open(const CString& fileName, UINT openFlags, CFileException* error) {
    Abort();
    m_strFileName = FullPath(fileName);
    auto fail = [&](int err) {
        if (m_hFile >= 0) close(m_hFile);
        m_hFile = -1;
        if (error) *error = CFileException(CFileException::OsErrorToCause(err), err, m_strFileName);
        return FALSE;
    };
    int access = O_RDONLY;
    if (openFlags & modeReadWrite)
        access = O_RDWR;
    else if (openFlags & modeWrite)
        access = O_WRONLY;
    // Without blocking: a FIFO with no one at its other end would otherwise hold the caller in open().
    int flags = access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (openFlags & modeCreate) flags |= O_CREAT;
    const std::string path = Utf16ToUtf8(m_strFileName);
    do {
        m_hFile = open(path.c_str(), flags, 0666);
    } while (m_hFile < 0 && errno == EINTR);
    if (m_hFile < 0) return fail(errno);
    struct stat st {};
    if (fstat(m_hFile, &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) return fail(EISDIR);
    if (const int err = RefuseStream(m_hFile, st)) return fail(err);
    // Another opener holding the file counts as a sharing violation, as with Windows share modes.
    if (const int lock = LockFor(openFlags); lock != 0 && S_ISREG(st.st_mode)) {
        int rc;
        do {
            rc = flock(m_hFile, lock | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) return fail(errno == EWOULDBLOCK ? EWOULDBLOCK : errno);
    }
    // Truncate only once the lock is ours, so a refused opening never empties someone else's file.
    if ((openFlags & modeCreate) && !(openFlags & modeNoTruncate) && access != O_RDONLY &&
        S_ISREG(st.st_mode) && ftruncate(m_hFile, 0) != 0)
        return fail(errno);
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, EBADF);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = read(m_hFile, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Throw(errno);
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<UINT>(done);
}

void CFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, EBADF);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = write(m_hFile, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Throw(errno);
        if (n == 0) ThrowCause(CFileException::diskFull, ENOSPC);  // nothing more was stored
        done += static_cast<std::size_t>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, EBADF);
    const int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    const off_t pos = lseek(m_hFile, static_cast<off_t>(offset), whence);
    if (pos < 0) ThrowCause(CFileException::badSeek, errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, EBADF);
    const off_t pos = lseek(m_hFile, 0, SEEK_CUR);
    if (pos < 0) Throw(errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, EBADF);
    struct stat st {};
    if (fstat(m_hFile, &st) != 0) Throw(errno);
    return static_cast<ULONGLONG>(st.st_size);
}

void CFile::Close() {
    if (m_hFile < 0) return;
    const int fd = m_hFile;
    m_hFile = -1;
    // The descriptor is gone after close() whatever it returns, so it is never closed twice.
    if (close(fd) != 0 && errno != EINTR) Throw(errno);
}

void CFile::Abort() {
    if (m_hFile >= 0) close(m_hFile);
    m_hFile = -1;
}

bool CFile::Remove(const CString& fileName) {
    const std::string path = Utf16ToUtf8(fileName);
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0;
}

BOOL CStdioFile::Open(const CString& fileName, UINT openFlags, CFileException* error) {
    Abort();
    if (!CFile::Open(fileName, openFlags, error)) return FALSE;
    m_pStream = fdopen(m_hFile, StreamMode(openFlags));
    if (!m_pStream) {
        const int err = errno;
        CFile::Abort();
        if (error) *error = CFileException(CFileException::OsErrorToCause(err), err, m_strFileName);
        return FALSE;
    }
    return TRUE;
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, EBADF);
    const int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    if (fseeko(m_pStream, static_cast<off_t>(offset), whence) != 0)
        ThrowCause(CFileException::badSeek, errno);
    return GetPosition();
}

ULONGLONG CStdioFile::GetPosition() const {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, EBADF);
    const off_t pos = ftello(m_pStream);
    if (pos < 0) Throw(errno);
    return static_cast<ULONGLONG>(pos);
}
