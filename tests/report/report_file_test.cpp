// Saving the report into a file: the bytes of both layouts, the layout chosen by the extension, and what
// a failed open or a failed write leaves behind.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/files/file.h"
#include "report/report_file.h"
#include "report/utf16_file.h"
#include "report_fixtures.h"

namespace fs = std::filesystem;

namespace {
class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quarvel-report-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    CString PathOf(const std::string& name) const {
        const std::string p = (dir / name).string();
        return CString(p.begin(), p.end());
    }
    std::vector<unsigned char> Save(const std::string& name, const ToolRecord& r = WorkedExampleRecord()) {
        const CString path = PathOf(name);
        EXPECT_EQ(SaveReportToPath(path, FileExtension(path), r), ReportOutcome::Written);
        return Bytes(name);
    }
    std::vector<unsigned char> Bytes(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir;
};

CString TextLayout() {
    CString all;
    for (const auto& line : kWorkedExampleLines) all += CString(line[0]) + u" : " + line[1] + u"\n";
    return all;
}
CString CsvLayout() {
    CString all;
    for (const auto& line : kWorkedExampleLines)
        all += u"\"" + CString(line[0]) + u"\",\"" + line[1] + u"\"\n";
    return all;
}
#ifdef _WIN32
// A device on which every write fails for want of space: Wine shows the Linux root as drive Z:, and with it
// /dev/full; Windows itself has no such device.
const char16_t* const kFullDevice = u"Z:\\dev\\full";
std::size_t OpenDescriptors() {
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    return handles;
}
bool FullDeviceExists() {
    const HANDLE h = CreateFileW(L"Z:\\dev\\full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}
#else
const char16_t* const kFullDevice = u"/dev/full";
std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}
bool FullDeviceExists() { return fs::exists("/dev/full"); }
#endif
}  // namespace

TEST_F(ReportFileTest, WorkedExampleAsText) {
    const auto bytes = Save("report.txt");
    EXPECT_EQ(bytes, Utf16LeWithBom(TextLayout()));
    const std::vector<unsigned char> first = {0xFF, 0xFE, 0x54, 0,    0x6F, 0,    0x6F, 0,    0x6C,
                                              0,    0x20, 0,    0x3A, 0,    0x20, 0,    0x52, 0,
                                              0x4B, 0,    0x2D, 0,    0x39, 0,    0x0A, 0};
    ASSERT_GE(bytes.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin()));
}

TEST_F(ReportFileTest, WorkedExampleAsCommaSeparated) {
    const auto bytes = Save("report.csv");
    EXPECT_EQ(bytes, Utf16LeWithBom(CsvLayout()));
    const std::vector<unsigned char> first = {0xFF, 0xFE, 0x22, 0, 0x54, 0, 0x6F, 0, 0x6F, 0,
                                              0x6C, 0,    0x22, 0, 0x2C, 0, 0x22, 0, 0x52, 0,
                                              0x4B, 0,    0x2D, 0, 0x39, 0, 0x22, 0, 0x0A, 0};
    ASSERT_GE(bytes.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin()));
}

TEST_F(ReportFileTest, OnlyTheExactExtensionTxtGivesTheTextLayout) {
    const auto csv = Utf16LeWithBom(CsvLayout());
    EXPECT_EQ(Save("upper.TXT"), csv);
    EXPECT_EQ(Save("other.dat"), csv);
    EXPECT_EQ(Save("none"), csv);
    EXPECT_EQ(Save("archive.txt.bak"), csv);
    EXPECT_EQ(Save("notes.csv.txt"), Utf16LeWithBom(TextLayout()));
}

TEST(FileExtension, IsWhatFollowsTheLastDotOfTheName) {
    EXPECT_EQ(FileExtension(u"/tmp/a/report.txt"), u"txt");
    EXPECT_EQ(FileExtension(u"report.TXT"), u"TXT");
    EXPECT_EQ(FileExtension(u"/tmp/dir.d/report"), u"");
    EXPECT_EQ(FileExtension(u"x.tar.gz"), u"gz");
    EXPECT_EQ(FileExtension(u"trailing."), u"");
}

TEST_F(ReportFileTest, AnExistingFileIsReplaced) {
    {
        std::ofstream old(dir / "old.txt", std::ios::binary);
        old << std::string(5000, 'x');
    }
    EXPECT_EQ(Save("old.txt"), Utf16LeWithBom(TextLayout()));
}

TEST_F(ReportFileTest, AFileThatCannotBeOpenedIsReportedAndNothingIsCreated) {
    const CString path = PathOf("missing-dir/report.txt");
    EXPECT_EQ(SaveReportToPath(path, u"txt", WorkedExampleRecord()), ReportOutcome::OpenFailed);
    EXPECT_FALSE(fs::exists(dir / "missing-dir"));
}

TEST_F(ReportFileTest, AFailedWriteRaisesTheFileExceptionAndClosesTheFile) {
    if (!FullDeviceExists()) GTEST_SKIP() << "no device that is always full";
    const std::size_t before = OpenDescriptors();
    try {
        SaveReportToPath(kFullDevice, u"txt", WorkedExampleRecord());
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_strFileName, kFullDevice);
        EXPECT_NE(e.GetErrorMessage().find(kFullDevice), CString::npos);
    }
    EXPECT_EQ(OpenDescriptors(), before);  // the local file object closed its descriptor
}

TEST_F(ReportFileTest, TheWritersMakeTwelveWritesIntoAnOpenFile) {
    CUTF16File file;
    ASSERT_TRUE(file.Open(PathOf("direct.txt"), CFile::modeCreate | CFile::modeWrite));
    WriteTextReport(file, WorkedExampleRecord());
    WriteCsvReport(file, WorkedExampleRecord());  // a second report follows without a second mark
    file.Close();
    CString both = TextLayout() + CsvLayout();
    EXPECT_EQ(Bytes("direct.txt"), Utf16LeWithBom(both));
}
