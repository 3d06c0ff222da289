// CStdioFile's calls that are the same C library calls on every system: only the error code differs
// (errno, or on Windows GetLastError's), which LastFileError gives.
#include <string>

#include "platform/files/file.h"
#include "platform/files/file_os_error.h"

CStdioFile::~CStdioFile() { CStdioFile::Abort(); }

UINT CStdioFile::Read(void* buffer, UINT count) {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, BadHandleError());
    if (count == 0) return 0;
    const std::size_t n = fread(buffer, 1, count, m_pStream);
    if (n < count && ferror(m_pStream)) {
        clearerr(m_pStream);
        Throw(LastFileError());
    }
    return static_cast<UINT>(n);
}

void CStdioFile::Write(const void* buffer, UINT count) {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, BadHandleError());
    if (count != 0 && fwrite(buffer, 1, count, m_pStream) != count) {
        clearerr(m_pStream);
        Throw(LastFileError());
    }
}

void CStdioFile::Close() {
    if (!m_pStream) {
        CFile::Close();
        return;
    }
    FILE* stream = m_pStream;
    m_pStream = nullptr;
    m_hFile = -1;  // fclose closes the descriptor (and on Windows its handle)
    if (fclose(stream) != 0) Throw(LastFileError());
}

void CStdioFile::Abort() {
    if (m_pStream) {
        fclose(m_pStream);
        m_pStream = nullptr;
        m_hFile = -1;
    }
    CFile::Abort();
}

bool CStdioFile::ReadRawLine(std::string& bytes, std::size_t limit) {
    if (!m_pStream) ThrowCause(CFileException::invalidFile, BadHandleError());
    bytes.clear();
    while (bytes.size() < limit) {
        const int c = getc(m_pStream);
        if (c == EOF) {
            if (ferror(m_pStream)) {
                clearerr(m_pStream);
                Throw(LastFileError());
            }
            break;
        }
        bytes.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !bytes.empty();
}

void CStdioFile::WriteString(const char16_t* text) {
    if (!text) return;
    std::string bytes;
    for (; *text; ++text) {
        bytes.push_back(static_cast<char>(*text & 0xFF));
        bytes.push_back(static_cast<char>(*text >> 8));
    }
    Write(bytes.data(), static_cast<UINT>(bytes.size()));
}
