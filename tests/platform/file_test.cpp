// CFile and CStdioFile: opening, errors as CFileException with cause and path, and 8-bit lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/files/file.h"
#include "platform/text/utf8.h"
#include "support/source_path.h"
#include "support/temp_dir.h"

namespace {
CString W(const std::string& text) {
    CString out;
    Utf8ToUtf16(text, out);
    return out;
}
}  // namespace

TEST(File, AFailedOpenFillsTheErrorAndCloseDoesNothing) {
    TempDir dir;
    CStdioFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(W(dir.File("missing/x.txt")), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, ENOENT);
    EXPECT_EQ(error.m_strFileName, W(dir.File("missing/x.txt")));
    EXPECT_EQ(error.GetErrorMessage(), W(dir.File("missing/x.txt") + " was not found."));
    EXPECT_NO_THROW(file.Close());
    EXPECT_FALSE(file.Open(W(dir.Path()), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
    EXPECT_FALSE(file.Open(u"", CFile::modeRead, nullptr));
}

TEST(File, RelativeNamesBecomeFullPaths) {
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(u"./no-such-dir/../no-such-file", CFile::modeRead, &error));
    ASSERT_FALSE(error.m_strFileName.empty());
    EXPECT_EQ(error.m_strFileName[0], u'/');
    EXPECT_EQ(error.m_strFileName.find(u".."), CString::npos);
}

TEST(File, WriteToAFullDiskRaisesDiskFullWithThePath) {
    CFile file;
    ASSERT_TRUE(file.Open(u"/dev/full", CFile::modeWrite));
    try {
        file.Write("abc", 3);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_lOsError, ENOSPC);
        EXPECT_EQ(e.m_strFileName, u"/dev/full");
        EXPECT_EQ(e.GetErrorMessage(), u"Disk full while accessing /dev/full.");
    }
    EXPECT_NO_THROW(file.Write("", 0));  // a count of 0 writes nothing, so nothing fails
}

// Streams that another program feeds or drains are refused at once, whatever is at their other end;
// other devices open as before.
TEST(File, AFifoASocketOrATerminalIsRefusedAtOnce) {
    TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = dir.File("socket");
    const int sock = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string terminal = ptsname(master);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO with a reader, too
    for (const auto& [path, flags] :
         std::vector<std::pair<std::string, UINT>>{{fifo, CFile::modeCreate | CFile::modeWrite},
                                                   {fifo, CFile::modeRead},
                                                   {socketPath, CFile::modeCreate | CFile::modeWrite},
                                                   {terminal, CFile::modeCreate | CFile::modeWrite},
                                                   {terminal, CFile::modeRead}}) {
        CStdioFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(W(path), flags, &error)) << path;
        EXPECT_EQ(error.m_lOsError, ENXIO) << path;
        EXPECT_FALSE(file.IsOpen());
    }
    close(reader);
    close(master);
    close(sock);
    CFile null;
    ASSERT_TRUE(null.Open(u"/dev/null", CFile::modeCreate | CFile::modeWrite));
    EXPECT_NO_THROW(null.Write("abc", 3));
}

TEST(File, ASecondWriterMeetsASharingViolationAndTruncatesNothing) {
    TempDir dir;
    const std::string path = dir.File("held.txt");
    std::ofstream(path) << "keep me";
    CFile holder;
    ASSERT_TRUE(holder.Open(W(path), CFile::modeRead));
    CFile second;
    CFileException error;
    EXPECT_FALSE(second.Open(W(path), CFile::modeCreate | CFile::modeWrite, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(error.GetErrorMessage(), W("A sharing violation occurred while accessing " + path + "."));
    EXPECT_EQ(ReadWholeFile(path), "keep me");
    holder.Close();
    ASSERT_TRUE(second.Open(W(path), CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite));
    EXPECT_EQ(second.GetLength(), 0u);
}

TEST(File, PositionLengthAndSeek) {
    TempDir dir;
    const std::string path = dir.File("p.bin");
    CFile file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeCreate | CFile::modeReadWrite));
    file.Write("0123456789", 10);
    EXPECT_EQ(file.GetPosition(), 10u);
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Seek(-3, CFile::end), 7u);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_THROW(file.Seek(-100, CFile::begin), CFileException);
    file.Close();
    EXPECT_THROW(file.GetPosition(), CFileException);
}

TEST(StdioFile, ReadsEightBitLinesInBothForms) {
    TempDir dir;
    const std::string path = dir.File("lines.txt");
    std::ofstream(path, std::ios::binary) << "caf\xE9\r\nsecond\nlast";
    CStdioFile file;
    ASSERT_TRUE(file.Open(W(path), CFile::modeRead));
    CString line;
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"caf\u00e9");  // Windows-1252 (and Latin-1) 0xE9
    char16_t buffer[5];
    ASSERT_NE(file.ReadString(buffer, 5), nullptr);
    EXPECT_EQ(CString(buffer), u"seco");
    ASSERT_NE(file.ReadString(buffer, 5), nullptr);
    EXPECT_EQ(CString(buffer), u"nd\n");
    ASSERT_TRUE(file.ReadString(line));
    EXPECT_EQ(line, u"last");
    EXPECT_FALSE(file.ReadString(line));
    EXPECT_EQ(file.ReadString(buffer, 5), nullptr);
}
