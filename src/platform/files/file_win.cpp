// CFile and CStdioFile over Windows file handles (CreateFileW with the share modes the flags ask for) and
// C runtime streams on the same handle. The object keeps the C runtime's descriptor of the handle, so the
// stream of CStdioFile and the handle share one position.
#include "platform/files/file.h"

#include <fcntl.h>
#include <io.h>

#include <string>

#include "platform/files/file_os_error.h"
#include "platform/win32_api.h"

namespace {
CString FullPath(const CString& fileName) {
    const auto* name = reinterpret_cast<const wchar_t*>(fileName.c_str());
    const DWORD needed = GetFullPathNameW(name, 0, nullptr, nullptr);
    if (needed == 0) return fileName;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(name, needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return fileName;
    return CString(reinterpret_cast<const char16_t*>(full.data()), length);
}

DWORD ShareModeFor(UINT flags) {
    switch (flags & 0x70) {
        case CFile::shareDenyNone:
            return FILE_SHARE_READ | FILE_SHARE_WRITE;
        case CFile::shareDenyWrite:
            return FILE_SHARE_READ;
        case CFile::shareDenyRead:
            return FILE_SHARE_WRITE;
        default:
            return 0;  // shareCompat, shareExclusive
    }
}

DWORD CreationFor(UINT flags) {
    if (!(flags & CFile::modeCreate)) return OPEN_EXISTING;
    return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

const char* StreamMode(UINT flags) {
    if (flags & CFile::modeReadWrite) return "r+b";
    if (flags & CFile::modeWrite) return "wb";
    return "rb";
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

CFile::~CFile() { CFile::Abort(); }

BOOL CFile::Open(const CString& fileName, UINT openFlags, CFileException* error) {
    Abort();
    m_strFileName = FullPath(fileName);
    DWORD access = GENERIC_READ;
    int crtFlags = _O_BINARY | _O_RDONLY;
    if (openFlags & modeReadWrite) {
        access = GENERIC_READ | GENERIC_WRITE;
        crtFlags = _O_BINARY | _O_RDWR;
    } else if (openFlags & modeWrite) {
        access = GENERIC_WRITE;
        crtFlags = _O_BINARY | _O_WRONLY;
    }
    // Without a security descriptor the handle is never inherited, so modeNoInherit holds for every file.
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(m_strFileName.c_str()), access, ShareModeFor(openFlags),
                    nullptr, CreationFor(openFlags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const long err = LastFileError();
        if (error) *error = CFileException(CFileException::OsErrorToCause(err), err, m_strFileName);
        return FALSE;
    }
    m_hFile = _open_osfhandle(reinterpret_cast<intptr_t>(handle), crtFlags);
    if (m_hFile < 0) {
        CloseHandle(handle);
        if (error)
            *error =
                CFileException(CFileException::tooManyOpenFiles, ERROR_TOO_MANY_OPEN_FILES, m_strFileName);
        return FALSE;
    }
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    UINT done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!ReadFile(HandleOf(m_hFile), static_cast<char*>(buffer) + done, count - done, &n, nullptr)) {
            Throw(LastFileError());
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    UINT done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!WriteFile(HandleOf(m_hFile), static_cast<const char*>(buffer) + done, count - done, &n,
                       nullptr)) {
            Throw(LastFileError());
        }
        if (n == 0) ThrowCause(CFileException::diskFull, ERROR_DISK_FULL);  // nothing more was stored
        done += n;
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    const DWORD method = from == current ? FILE_CURRENT : from == end ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER pos{};
    if (!SetFilePointerEx(HandleOf(m_hFile), distance, &pos, method)) {
        ThrowCause(CFileException::badSeek, LastFileError());
    }
    return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetPosition() const {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    LARGE_INTEGER zero{};
    LARGE_INTEGER pos{};
    if (!SetFilePointerEx(HandleOf(m_hFile), zero, &pos, FILE_CURRENT)) Throw(LastFileError());
    return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetLength() const {
    if (m_hFile < 0) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(HandleOf(m_hFile), &size)) Throw(LastFileError());
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::Close() {
    if (m_hFile < 0) return;
    const int fd = m_hFile;
    m_hFile = -1;
    // The handle is released whatever the result, so it is never closed twice.
    if (_close(fd) != 0) Throw(LastFileError());
}

void CFile::Abort() {
    if (m_hFile >= 0) _close(m_hFile);
    m_hFile = -1;
}

bool CFile::Remove(const CString& fileName) {
    const auto* name = reinterpret_cast<const wchar_t*>(fileName.c_str());
    const DWORD attributes = GetFileAttributesW(name);
    const DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & notPlain) == 0 && DeleteFileW(name) != 0;
}

BOOL CStdioFile::Open(const CString& fileName, UINT openFlags, CFileException* error) {
    Abort();
    if (!CFile::Open(fileName, openFlags, error)) return FALSE;
    m_pStream = _fdopen(m_hFile, StreamMode(openFlags));
    if (!m_pStream) {
        CFile::Abort();
        if (error)
            *error =
                CFileException(CFileException::tooManyOpenFiles, ERROR_TOO_MANY_OPEN_FILES, m_strFileName);
        return FALSE;
    }
    return TRUE;
}

ULONGLONG CStdioFile::Seek(LONGLONG offset, UINT from) {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    const int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
    if (_fseeki64(m_pStream, offset, whence) != 0) ThrowCause(CFileException::badSeek, LastFileError());
    return GetPosition();
}

ULONGLONG CStdioFile::GetPosition() const {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, ERROR_INVALID_HANDLE);
    const long long pos = _ftelli64(m_pStream);
    if (pos < 0) Throw(LastFileError());
    return static_cast<ULONGLONG>(pos);
}
