// CUTF16File: the byte-order mark on writing, its detection on reading, and the line reading rules.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <random>

#include "platform/text/utf8.h"
#include "report/utf16_file.h"
#include "support/source_path.h"
#include "support/temp_dir.h"

namespace {
CString W(const std::string& text) {
    CString out;
    Utf8ToUtf16(text, out);
    return out;
}

std::string Le(const std::u16string& units) {
    std::string bytes;
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

const std::string kMark = "\xFF\xFE";

class Utf16File : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    std::vector<CString> TextLines() {
        CUTF16File file;
        EXPECT_TRUE(file.Open(W(path), CFile::modeRead));
        std::vector<CString> lines;
        CString line;
        while (file.ReadString(line)) lines.push_back(line);
        return lines;
    }
    std::vector<CString> BufferPieces(UINT capacity) {
        CUTF16File file;
        EXPECT_TRUE(file.Open(W(path), CFile::modeRead));
        std::vector<CString> pieces;
        std::vector<char16_t> buffer(capacity);
        while (file.ReadString(buffer.data(), capacity)) pieces.emplace_back(buffer.data());
        return pieces;
    }

    TempDir dir;
    std::string path = dir.File("report.txt");
};
using Lines = std::vector<CString>;
}  // namespace

TEST_F(Utf16File, OnlyTheFirstWriteOfANewFileCarriesTheMark) {
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeCreate | CFile::modeWrite));
    file.WriteText(u"A");
    file.WriteText(u"");  // an empty text past position 0 writes nothing
    file.WriteText(u"B\n");
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), kMark + Le(u"AB\n"));
}

TEST_F(Utf16File, EmptyTextAtTheStartWritesOnlyTheMark) {
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeCreate | CFile::modeWrite));
    file.WriteText(u"");
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), kMark);
}

TEST_F(Utf16File, LetterAndLineFeedGiveSixBytes) {
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), 0x1001));
    file.WriteText(u"A\n");
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), std::string("\xFF\xFE\x41\x00\x0A\x00", 6));
}

TEST_F(Utf16File, ReopeningForCreateTruncatesAndWritesTheMarkAgain) {
    Write(kMark + Le(u"old text that is longer"));
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeCreate | CFile::modeWrite));
    EXPECT_FALSE(file.IsUnicode());  // writing never looks for a mark
    file.WriteText(u"new");
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), kMark + Le(u"new"));
}

TEST_F(Utf16File, WriteAnsiTextIsWrittenAsUtf16) {
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeCreate | CFile::modeWrite));
    file.WriteAnsiText("caf\xE9");
    file.WriteAnsiText(103u);  // "Connect"
    file.Close();
    EXPECT_EQ(ReadWholeFile(path), kMark + Le(u"caf\u00e9Connect"));
}

TEST_F(Utf16File, ShortFilesAndOtherFirstBytesGoToTheBaseClass) {
    for (const std::string& bytes : {std::string(), std::string("X"), std::string("ab\ncd\n")}) {
        Write(bytes);
        CUTF16File file;
        ASSERT_TRUE(file.Open(W(path), CFile::modeRead));
        EXPECT_FALSE(file.IsUnicode());
        file.Close();
    }
    Write("X");
    EXPECT_EQ(TextLines(), Lines({u"X"}));
    Write("ab\ncd\n");
    EXPECT_EQ(TextLines(), Lines({u"ab", u"cd"}));  // read from the first byte
    Write(kMark);
    EXPECT_EQ(TextLines(), Lines());
}

TEST_F(Utf16File, BigEndianMarkSwapsEveryUnit) {
    Write(std::string("\xFE\xFF\x00\x41\x04\x11\x00\x0A\x00\x43", 10));
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeRead));
    EXPECT_TRUE(file.IsUnicode());
    EXPECT_TRUE(file.IsBigEndian());
    CString line;
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"A\u0411");
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"C");
    EXPECT_FALSE(file.ReadString(line));
}

TEST_F(Utf16File, AnOddLastByteIsDropped) {
    Write(kMark + Le(u"AB") + "C");
    EXPECT_EQ(TextLines(), Lines({u"AB"}));
}

TEST_F(Utf16File, TwoUnitLineEndsCountOnce) {
    Write(kMark + Le(u"AB\r\nCD"));
    EXPECT_EQ(TextLines(), Lines({u"AB", u"CD"}));
    EXPECT_EQ(BufferPieces(16), Lines({u"AB\r", u"CD"}));
    for (const std::u16string end : {u"\n\r", u"\r\r", u"\n\n", u"\r", u"\n"}) {
        Write(kMark + Le(u"A" + end + u"B" + end));
        EXPECT_EQ(TextLines(), Lines({u"A", u"B"})) << end.size();
        EXPECT_EQ(BufferPieces(16), Lines({u"A" + end.substr(0, 1), u"B" + end.substr(0, 1)}));
    }
    // Three units: the first two make one end, the third another, so an empty line lies between.
    Write(kMark + Le(u"A\r\n\nB"));
    EXPECT_EQ(TextLines(), Lines({u"A", u"", u"B"}));
}

TEST_F(Utf16File, ALongLineComesInPiecesOfTheBuffer) {
    Write(kMark + Le(u"ABCDEFG\nH"));
    EXPECT_EQ(BufferPieces(4), Lines({u"ABC", u"DEF", u"G\n", u"H"}));
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeRead));
    char16_t tiny[1] = {u'x'};
    EXPECT_EQ(file.ReadString(tiny, 1), tiny);  // too small: nothing read, nothing written
    EXPECT_EQ(tiny[0], u'x');
    char16_t buffer[32];
    ASSERT_NE(file.ReadString(buffer, 32), nullptr);
    EXPECT_EQ(CString(buffer), u"ABCDEFG\n");
}

TEST_F(Utf16File, LinesAcrossReadChunksMatchTheText) {
    std::mt19937 random(7);
    std::u16string text;
    Lines expected;
    const std::u16string ends[] = {u"\r\n", u"\n\r", u"\r\r", u"\n\n", u"\r", u"\n"};
    while (text.size() < 20000) {
        CString line;
        for (std::size_t n = random() % 40; n > 0; --n)
            line.push_back(static_cast<char16_t>(u'a' + random() % 26));
        if (line.empty()) line = u"x";
        expected.push_back(line);
        text += line + ends[random() % 6];
    }
    Write(kMark + Le(text));
    EXPECT_EQ(TextLines(), expected);
}

TEST_F(Utf16File, SeekAndResyncRestartsTheLineReading) {
    Write(kMark + Le(u"one\r\ntwo\r\n"));
    CUTF16File file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeRead));
    CString line;
    ASSERT_TRUE(file.ReadString(line));
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"two");
    EXPECT_EQ(file.SeekAndResync(2, CFile::begin), 2u);
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"one");
}

// /dev/full is a POSIX device; Windows has no file that refuses every write.
#ifndef _WIN32
TEST_F(Utf16File, AFailingWriteRaisesTheFileExceptionWithCauseAndPath) {
    CUTF16File file;
    ASSERT_TRUE(file.Open(u"/dev/full", CFile::modeWrite));
    try {
        file.WriteText(u"Tool : RK-9\n");
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_lOsError, ENOSPC);
        EXPECT_EQ(e.m_strFileName, u"/dev/full");
    }
}

#endif

TEST_F(Utf16File, AFailedOpenReturnsFalseAndCloseDoesNothing) {
    CUTF16File file;
    CFileException error;
    EXPECT_FALSE(file.Open(W(dir.File("no/such/dir/r.txt")), CFile::modeCreate | CFile::modeWrite, &error));
#ifdef _WIN32
    EXPECT_EQ(error.m_cause, CFileException::badPath);  // Windows: ERROR_PATH_NOT_FOUND for a missing folder
#else
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
#endif
    EXPECT_NO_THROW(file.Close());
    EXPECT_FALSE(file.Open(W(dir.File("missing.txt")), CFile::modeRead, nullptr));
}
