#pragma once
// CUTF16File: text files of UTF-16 code units, low byte first. Writing puts the byte-order mark FF FE
// before the first text of a file written from its start; reading recognises FF FE or FE FF and then
// reads lines of units (without a mark, lines are read by CStdioFile). One thread at a time; the
// caller owns the object (the report writer holds it in a local scope).
#include <deque>

#include "platform/files/file.h"

class CUTF16File : public CStdioFile {
public:
    CUTF16File() = default;
    ~CUTF16File() override;

    // Opens in binary mode. Writing modes return at once; reading modes also look for the mark.
    BOOL Open(const CString& fileName, UINT openFlags, CFileException* error = nullptr) override;
    // A line without its end; FALSE at the end of the file.
    BOOL ReadString(CString& line) override;
    // At most capacity - 1 units of a line, its end included, and a NUL; null at the end of the file.
    char16_t* ReadString(char16_t* buffer, UINT capacity) override;

    // Writes NUL-terminated UTF-16 text; raises CFileException when the file refuses it.
    virtual void WriteText(const char16_t* text);
    // Seeks the stream and re-aligns the line reading with the new position.
    virtual ULONGLONG SeekAndResync(LONGLONG offset, UINT from);
    // 8-bit text in the thread's ANSI code page, written as UTF-16 like WriteText.
    virtual void WriteAnsiText(const char* text);
    // A string of the current resource module (an id below 0x10000), written like WriteText.
    virtual void WriteAnsiText(UINT stringId);
    // FF FE first when the handle is at position 0, then the units low byte first, without the NUL.
    virtual void WriteUnicodeText(const char16_t* text);

    void FillReadAhead();

    bool IsUnicode() const { return m_bUnicode; }
    bool IsBigEndian() const { return m_bBigEndian; }

private:
    static bool IsLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }
    // After a CR or LF was taken: takes a directly following CR or LF as part of the same line end.
    void CompleteLineEnd();

    BOOL m_bUnicode = FALSE;
    BOOL m_bBigEndian = FALSE;
    std::deque<char16_t> m_readAhead;
    ULONGLONG m_nBytesConsumed = 0;
};
