#include "report/utf16_file.h"

#include <string>

#include "platform/resources/resource_module.h"
#include "platform/text/code_page.h"

namespace {
constexpr UINT kReadChunkBytes = 4096;
}

CUTF16File::~CUTF16File() { m_readAhead.clear(); }

BOOL CUTF16File::Open(const CString& fileName, UINT openFlags, CFileException* error) {
    m_nBytesConsumed = 0;
    const BOOL opened = CStdioFile::Open(fileName, openFlags | typeBinary, error);
    if (openFlags & modeWrite) return opened;
    if (!opened) return FALSE;
    if (CFile::GetLength() < 2) return TRUE;
    unsigned char mark[2] = {0, 0};
    m_nBytesConsumed += CStdioFile::Read(mark, 2);
    if (mark[0] == 0xFF && mark[1] == 0xFE) {
        m_bBigEndian = FALSE;
        m_bUnicode = TRUE;
    } else if (mark[0] == 0xFE && mark[1] == 0xFF) {
        m_bBigEndian = TRUE;
        m_bUnicode = TRUE;
    }
    if (!m_bUnicode) {
        m_nBytesConsumed = 0;
        CStdioFile::Seek(0, begin);
    }
    m_readAhead.clear();
    return TRUE;
}

void CUTF16File::WriteText(const char16_t* text) { WriteUnicodeText(text); }

void CUTF16File::WriteUnicodeText(const char16_t* text) {
    if (CFile::GetPosition() == 0) {
        static const unsigned char kMark[2] = {0xFF, 0xFE};
        CFile::Write(kMark, 2);
    }
    std::string bytes;
    for (const char16_t* p = text; p && *p; ++p) {
        bytes.push_back(static_cast<char>(*p & 0xFF));
        bytes.push_back(static_cast<char>(*p >> 8));
    }
    CFile::Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

void CUTF16File::WriteAnsiText(const char* text) {
    const CString wide = AnsiToWide(text ? std::string(text) : std::string());
    WriteUnicodeText(wide.c_str());
}

void CUTF16File::WriteAnsiText(UINT stringId) {
    const CString text = stringId < 0x10000 ? LoadStringW(stringId) : CString();
    WriteUnicodeText(text.c_str());
}

ULONGLONG CUTF16File::SeekAndResync(LONGLONG offset, UINT from) {
    const ULONGLONG position = CStdioFile::Seek(offset, from);
    m_nBytesConsumed = CStdioFile::Seek(0, current);
    m_readAhead.clear();
    return position;
}

void CUTF16File::FillReadAhead() {
    unsigned char chunk[kReadChunkBytes];
    const UINT n = CStdioFile::Read(chunk, kReadChunkBytes);
    // An odd last byte has left the stream but forms no unit: it is dropped.
    for (UINT i = 0; i + 1 < n; i += 2) {
        const unsigned char lo = m_bBigEndian ? chunk[i + 1] : chunk[i];
        const unsigned char hi = m_bBigEndian ? chunk[i] : chunk[i + 1];
        m_readAhead.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
}

void CUTF16File::CompleteLineEnd() {
    if (m_readAhead.empty()) FillReadAhead();
    if (m_readAhead.empty() || !IsLineEnd(m_readAhead.front())) return;
    m_readAhead.pop_front();
    m_nBytesConsumed += 2;
    SeekAndResync(static_cast<LONGLONG>(m_nBytesConsumed), begin);
}

BOOL CUTF16File::ReadString(CString& line) {
    if (!m_bUnicode) return CStdioFile::ReadString(line);
    line.clear();
    FillReadAhead();
    if (m_readAhead.empty()) return FALSE;
    while (true) {
        const char16_t unit = m_readAhead.front();
        m_readAhead.pop_front();
        m_nBytesConsumed += 2;
        if (IsLineEnd(unit)) {
            CompleteLineEnd();
            return TRUE;
        }
        if (unit != 0) line.push_back(unit);
        if (m_readAhead.empty()) {
            FillReadAhead();
            if (m_readAhead.empty()) return TRUE;  // a last line without a line end
        }
    }
}

char16_t* CUTF16File::ReadString(char16_t* buffer, UINT capacity) {
    if (!m_bUnicode) return CStdioFile::ReadString(buffer, capacity);
    if (!buffer || capacity < 2) return buffer;
    FillReadAhead();
    if (m_readAhead.empty()) {
        buffer[0] = 0;
        return nullptr;
    }
    UINT stored = 0;
    while (stored < capacity - 1) {
        const char16_t unit = m_readAhead.front();
        m_readAhead.pop_front();
        m_nBytesConsumed += 2;
        buffer[stored++] = unit;
        if (IsLineEnd(unit)) {
            CompleteLineEnd();
            break;
        }
        if (m_readAhead.empty()) {
            FillReadAhead();
            if (m_readAhead.empty()) break;
        }
    }
    buffer[stored] = 0;
    return buffer;
}
