#pragma once
// Files: CFile (unbuffered, straight to the operating-system handle), CStdioFile (a stdio stream on
// the same handle) and CFileException, the one exception type of the system. One object is used by
// one thread at a time; its owner destroys it, which closes the file without throwing.
#include <cstdint>
#include <cstdio>
#include <utility>

#include "platform/win_types.h"

using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;

class CFileException {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, long osError, CString fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The cause that an operating-system error number stands for (errno; on Windows GetLastError's code).
    static int OsErrorToCause(long osError);
    // The framework's message for the cause from the current resource module, %1 being the file name.
    CString GetErrorMessage() const;

    int m_cause = none;
    long m_lOsError = 0;    // errno (Windows: GetLastError) of the failed call; 0 when not an OS error
    CString m_strFileName;  // full path of the file
};

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,  // as shareExclusive
        shareExclusive =
            0x0010,  // no other opener may hold the file (POSIX: advisory lock; Windows: share mode)
        shareDenyWrite = 0x0020,  // other readers may share it
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // True when the file is open. On failure the optional error object receives cause, errno and path.
    virtual BOOL Open(const CString& fileName, UINT openFlags, CFileException* error = nullptr);
    // Reading, writing and positioning raise CFileException on failure.
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    // Closes the file; a failure to close raises CFileException. Does nothing when nothing is open.
    virtual void Close();
    // Closes without raising anything.
    virtual void Abort();
    // Deletes a regular file; false when it could not be deleted or is anything else (a device such as
    // /dev/full, a FIFO, a folder), which is left alone. Never raises.
    static bool Remove(const CString& fileName);

    bool IsOpen() const { return m_hFile >= 0; }
    const CString& GetFilePath() const { return m_strFileName; }

protected:
    [[noreturn]] void Throw(long osError) const;
    [[noreturn]] void ThrowCause(int cause, long osError) const;

    int m_hFile = -1;       // the descriptor (Windows: the C runtime's descriptor of the file's handle)
    CString m_strFileName;  // full path
};

class CStdioFile : public CFile {
public:
    CStdioFile() = default;
    ~CStdioFile() override;

    BOOL Open(const CString& fileName, UINT openFlags, CFileException* error = nullptr) override;
    // Through the stream's buffer.
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override;
    void Close() override;
    void Abort() override;

    // 8-bit lines, each byte widened through the thread's ANSI code page. The text-object form drops
    // the line end (LF, or CR LF) and returns FALSE at the end of the file; the buffer form keeps the
    // LF, stores at most capacity - 1 units plus a NUL and returns null at the end of the file.
    virtual BOOL ReadString(CString& line);
    virtual char16_t* ReadString(char16_t* buffer, UINT capacity);
    // Writes the units through the stream, low byte first, without a byte-order mark.
    virtual void WriteString(const char16_t* text);

    FILE* m_pStream = nullptr;

private:
    bool ReadRawLine(std::string& bytes, std::size_t limit);
};
