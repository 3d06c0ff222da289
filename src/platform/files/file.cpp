// The parts of the file classes that do not touch the operating system.
#include "platform/files/file.h"

#include <algorithm>

#include "platform/files/file_strings.h"
#include "platform/resources/resource_module.h"
#include "platform/text/code_page.h"

CString CFileException::GetErrorMessage() const {
    UINT id;
    switch (m_cause) {
        case fileNotFound:
            id = IDS_FW_FILE_NOT_FOUND;
            break;
        case badPath:
            id = IDS_FW_FILE_BAD_PATH;
            break;
        case accessDenied:
            id = IDS_FW_FILE_ACCESS_DENIED;
            break;
        case sharingViolation:
        case lockViolation:
            id = IDS_FW_FILE_SHARING;
            break;
        case diskFull:
            id = IDS_FW_FILE_DISK_FULL;
            break;
        default:
            id = IDS_FW_FILE_GENERIC;
            break;
    }
    return AfxFormatString2(LoadStringW(id), m_strFileName);
}

namespace {
// Bytes in the thread's ANSI code page; a line the code page cannot convert is widened as Latin-1
// rather than lost.
CString Widen(const std::string& bytes) {
    CString wide = AnsiToWide(bytes);
    if (wide.empty() && !bytes.empty()) {
        for (unsigned char c : bytes) wide.push_back(c);
    }
    return wide;
}
}  // namespace

void CFile::ThrowCause(int cause, long osError) const { throw CFileException(cause, osError, m_strFileName); }

void CFile::Throw(long osError) const { ThrowCause(CFileException::OsErrorToCause(osError), osError); }

BOOL CStdioFile::ReadString(CString& line) {
    line.clear();
    std::string bytes;
    if (!ReadRawLine(bytes, static_cast<std::size_t>(-1))) return FALSE;
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    line = Widen(bytes);
    return TRUE;
}

char16_t* CStdioFile::ReadString(char16_t* buffer, UINT capacity) {
    if (!buffer || capacity == 0) return buffer;
    buffer[0] = 0;
    if (capacity == 1) return buffer;
    std::string bytes;
    // One byte gives at most one unit in every single-byte code page.
    if (!ReadRawLine(bytes, capacity - 1)) return nullptr;
    CString wide = Widen(bytes);
    if (wide.size() > capacity - 1) wide.resize(capacity - 1);
    std::copy(wide.begin(), wide.end(), buffer);
    buffer[wide.size()] = 0;
    return buffer;
}
