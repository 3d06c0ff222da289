// Bad files: a damaged settings key, language packs that are broken or are not files at all, and reports
// aimed where no file can be written. Each has its defined outcome, and nothing already stored is lost.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/settings/settings_store.h"
#include "platform/files/file.h"
#include "platform/resources/resource_module.h"
#include "platform/settings/key_store.h"
#include "report/report_file.h"
#include "support/deadline.h"
#include "support/source_path.h"
#include "support/stored_settings.h"
#include "support/temp_config_home.h"

namespace {

namespace fs = std::filesystem;

class BadFiles : public ::testing::Test {
protected:
    void TearDown() override { AfxSetResourceHandle(nullptr); }

    std::string KeyFile() const { return home.Path() + "/kordane/quarvel.reg"; }
    void WriteKeyFile(const std::string& text) {
        fs::create_directories(home.Path() + "/kordane");
        std::ofstream(KeyFile(), std::ios::binary) << text;
    }
    // The stored text of a REG_SZ value, without its NUL; "<none>" when absent.
    static std::string Stored(const std::string& name) { return StoredSettingsText(name); }

    TempConfigHome home;
    CQuarvelAppCore app;
};

TEST_F(BadFiles, ADamagedKeyIsReadAsFarAsItIsSoundAndASaveKeepsEverySoundValue) {
    WriteKeyFile(
        std::string(
            "# Quarvel settings key\nsz:Language=2\n\x01\x02\xff garbage\nsz:Language1=/opt/fr.json\n") +
        "sz:bad\\q=1\nnot a value\nsz:Language2=/opt/it.json\n4294967296:X=1\nsz:COM=COM7\n" +
        std::string("sz:SPEED=\0\x05", 11) + "\nsz:SPEED=3\nsz:Language3=/opt/bg.json");  // cut last line
    int port = -1;
    LoadPortSettings(app, port);
    EXPECT_EQ(port, 7);
    EXPECT_EQ(app.SpeedIndex, 3) << "the damaged SPEED line is skipped; the sound one after it counts";
    LoadLanguage(app);
    EXPECT_EQ(app.Language, 2);
    EXPECT_EQ(&AfxGetResourceHandle(), &CResourceModule::BuiltIn()) << "/opt/it.json does not exist";

    app.SpeedIndex = 4;
    ASSERT_EQ(SavePortSettings(12, app), 0);
    EXPECT_EQ(Stored("COM"), "COM12");
    EXPECT_EQ(Stored("SPEED"), "4");
    EXPECT_EQ(Stored("Language"), "2");
    EXPECT_EQ(Stored("Language1"), "/opt/fr.json");
    EXPECT_EQ(Stored("Language2"), "/opt/it.json");
}

TEST_F(BadFiles, ABinaryOrEmptyKeyFileGivesTheDefaultsAndNeverCrashes) {
    for (const std::string& text :
         {std::string(), std::string(4096, '\0'), std::string("\xff\xfe\x00\x01=\n", 6),
          std::string(100000, '\n'), std::string("sz:") + std::string(70000, 'x') + "=1\n"}) {
        WriteKeyFile(text);
        CQuarvelAppCore fresh;
        int port = -1;
        LoadPortSettings(fresh, port);
        LoadLanguage(fresh);
        EXPECT_EQ(port, -1);
        EXPECT_EQ(fresh.SpeedIndex, 9);
        EXPECT_EQ(fresh.Language, 0);
    }
}

TEST_F(BadFiles, LanguagePacksThatAreNotSoundFilesLeaveTheBuiltInModuleWithoutBlocking) {
    const std::string fifo = home.Path() + "/pack.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = home.Path() + "/huge.json";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "{\"strings\": {\"1\": \"" << std::string(ResourceLimits::kMaxFileBytes, 'a') << "\"}}";
    }
    const std::string truncated = home.Path() + "/truncated.json";
    {
        const std::string full = ReadWholeFile(SourcePath("resources/lang/fr.json"));
        std::ofstream(truncated, std::ios::binary) << full.substr(0, full.size() / 2);
    }
    for (const std::string& pack :
         {fifo, std::string("/dev/zero"), std::string("/dev/null"), huge, truncated}) {
        WriteKeyFile("sz:Language=1\nsz:Language1=" + pack + "\n");
        CQuarvelAppCore fresh;
        RunWithin(
            10000, [&] { LoadLanguage(fresh); }, "loading a bad pack");
        EXPECT_EQ(&AfxGetResourceHandle(), &CResourceModule::BuiltIn()) << pack;
        EXPECT_EQ(Stored("Language1"), pack) << "the setting itself is left as it was";
    }
}

TEST_F(BadFiles, AReportThatCannotBeCreatedIsRefusedAndTouchesNothing) {
    const std::string dir = home.Path() + "/reports";
    fs::create_directories(dir);
    const std::string kept = dir + "/kept.csv";
    std::ofstream(kept, std::ios::binary) << "earlier report";
    const ToolRecord record;
    for (const std::string& path : {dir + "/missing/report.csv",  // a folder that does not exist
                                    kept + "/report.txt",         // under a regular file
                                    dir,                          // a directory itself
                                    std::string("/proc/version/report.csv")}) {
        const CString wide(path.begin(), path.end());
        EXPECT_EQ(SaveReportToPath(wide, FileExtension(wide), record), ReportOutcome::OpenFailed) << path;
    }
    EXPECT_EQ(ReadWholeFile(kept), "earlier report");
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_FALSE(fs::exists(dir + "/missing"));
}

TEST_F(BadFiles, AReportToAFullDeviceRaisesTheDiskFullExceptionAndTheRecordStays) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ToolRecord record;
    record.CycleCounter = 321;
    const CString path = u"/dev/full";
    int cause = CFileException::none;
    try {
        SaveReportToPath(path, u"txt", record);
    } catch (const CFileException& e) {
        cause = e.m_cause;
        EXPECT_EQ(e.m_strFileName, path);
    }
    EXPECT_EQ(cause, CFileException::diskFull);
    EXPECT_EQ(record.CycleCounter, 321u);
}

}  // namespace
