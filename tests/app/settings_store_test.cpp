// Loading and saving the language, port and speed through the per-user key.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/settings/settings_store.h"
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/settings/key_store.h"
#include "support/source_path.h"
#include "support/stored_settings.h"
#include "support/temp_config_home.h"

namespace {
class Settings : public ::testing::Test {
protected:
    void TearDown() override { AfxSetResourceHandle(nullptr); }

    // Creates the key with the given REG_SZ values, in order.
    void MakeKey(const std::vector<std::pair<std::string, std::string>>& values) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& [name, text] : values)
            ASSERT_EQ(
                RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1)),
                ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The stored data of one value (with its NUL), or "<none>".
    static std::string Stored(const std::string& name) { return StoredSettingsData(name); }

    std::string KeyFileText() { return ReadWholeFile(home.Path() + "/kordane/quarvel.reg"); }

    // A pack of its own language tag, written to the temporary home.
    std::string WritePack(const std::string& tag) {
        auto module = nlohmann::json::parse(ReadWholeFile(SourcePath("resources/builtin.json")));
        module["language"] = tag;
        module["strings"]["103"] = "Connect-" + tag;
        const std::string path = home.Path() + "/" + tag + ".json";
        std::ofstream(path) << module.dump();
        return path;
    }

    TempConfigHome home;
    CQuarvelAppCore app;
};
}  // namespace

TEST(SettingsNumber, ReadsLikeTheCLibraryWithoutOverflow) {
    const std::pair<const char*, int> cases[] = {
        {"", 0},
        {"abc", 0},
        {"12", 12},
        {"  12x", 12},
        {"\t\n 5", 5},
        {"-3", -3},
        {"+7", 7},
        {"- 5", 0},
        {"--5", 0},
        {"0012", 12},
        {"2147483647", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ReadSettingsNumber(text), expected) << text;
}

TEST_F(Settings, DefaultsWithoutAKeyAndSavesReportTheMissingKey) {
    LoadLanguage(app);
    LoadPortSettings(app, app.PortNumber);
    EXPECT_EQ(app.Language, 0);
    EXPECT_EQ(app.PortNumber, -1);
    EXPECT_EQ(app.SpeedIndex, 9);
    EXPECT_EQ(SaveLanguage(2), 2);
    EXPECT_EQ(SavePortSettings(3, app), 2);
    EXPECT_TRUE(std::filesystem::is_empty(home.Path()));  // the programs never create the key
    CQuarvelAppCore next;
    LoadLanguage(next);
    LoadPortSettings(next, next.PortNumber);
    EXPECT_EQ(std::make_tuple(next.Language, next.PortNumber, next.SpeedIndex), std::make_tuple(0, -1, 9));
    EXPECT_EQ(&AfxGetResourceHandle(), &CResourceModule::BuiltIn());
}

TEST_F(Settings, NoLanguageValueKeepsEnglishAndReadsPortAndSpeed) {
    MakeKey({{"COM", "COM4"}, {"SPEED", "3"}});
    LoadLanguage(app);
    LoadPortSettings(app, app.PortNumber);
    EXPECT_EQ(app.Language, 0);
    EXPECT_EQ(app.PortNumber, 4);
    EXPECT_EQ(app.SpeedIndex, 3);
    EXPECT_EQ(&AfxGetResourceHandle(), &CResourceModule::BuiltIn());
}

TEST_F(Settings, LanguageZeroNeverLoadsALibrary) {
    MakeKey({{"Language0", WritePack("xa")}, {"Language", "0"}});
    LoadLanguage(app);
    EXPECT_EQ(app.Language, 0);
    EXPECT_EQ(LoadStringW(IDS_CONNECT), u"Connect");
}

TEST_F(Settings, LanguageWithoutItsLibraryValueStaysEnglish) {
    MakeKey({{"Language", "2"}, {"Language1", WritePack("xb")}});
    LoadLanguage(app);
    EXPECT_EQ(app.Language, 2);
    EXPECT_EQ(LoadStringW(IDS_CONNECT), u"Connect");
}

TEST_F(Settings, AnyIndexWithALibraryValueLoadsThatPack) {
    MakeKey({{"Language7", WritePack("xc")}, {"Language", "7"}});
    LoadLanguage(app);
    EXPECT_EQ(app.Language, 7);
    EXPECT_EQ(AfxGetResourceHandle().Language(), "xc");
    EXPECT_EQ(LoadStringW(IDS_CONNECT), u"Connect-xc");
}

TEST_F(Settings, LibraryValueNameUsesTheStoredTextExactly) {
    MakeKey({{"Language", " 2"}, {"Language2", WritePack("xd")}, {"Language 2", WritePack("xe")}});
    LoadLanguage(app);
    EXPECT_EQ(app.Language, 2);
    EXPECT_EQ(AfxGetResourceHandle().Language(), "xe");
}

TEST_F(Settings, ShippedPacksLoadByIndex) {
    const std::pair<const char*, const char*> packs[] = {{"1", "fr"}, {"2", "it"}, {"3", "bg"}};
    for (const auto& [index, tag] : packs) {
        MakeKey({{"Language1", SourcePath("resources/lang/fr.json")},
                 {"Language2", SourcePath("resources/lang/it.json")},
                 {"Language3", SourcePath("resources/lang/bg.json")},
                 {"Language", index}});
        LoadLanguage(app);
        EXPECT_EQ(AfxGetResourceHandle().Language(), tag);
        AfxSetResourceHandle(nullptr);
    }
}

TEST_F(Settings, APackThatDoesNotLoadLeavesEnglish) {
    const std::string broken = home.Path() + "/broken.json";
    std::ofstream(broken) << "{\"language\": \"xx\", \"dialogs\": {}";
    const std::string incomplete = home.Path() + "/incomplete.json";
    {
        auto module = nlohmann::json::parse(ReadWholeFile(SourcePath("resources/builtin.json")));
        module["dialogs"].erase("102");
        std::ofstream(incomplete) << module.dump();
    }
    for (const std::string& file :
         {broken, incomplete, home.Path() + "/missing.json", std::string("/bin/sh"), home.Path()}) {
        MakeKey({{"Language", "1"}, {"Language1", file}});
        LoadLanguage(app);
        EXPECT_EQ(app.Language, 1);
        EXPECT_EQ(&AfxGetResourceHandle(), &CResourceModule::BuiltIn()) << file;
    }
}

TEST_F(Settings, PortValuesOutsideTheRangeAreIgnored) {
    for (const char* text : {"COM0", "COM257", "COM", "7", "", "COMx", "COM-5"}) {
        MakeKey({{"COM", text}, {"SPEED", "2"}});
        CQuarvelAppCore fresh;
        LoadPortSettings(fresh, fresh.PortNumber);
        EXPECT_EQ(fresh.PortNumber, -1) << text;
        EXPECT_EQ(fresh.SpeedIndex, 2) << text;
    }
    const std::pair<const char*, int> accepted[] = {
        {"XYZ12", 12}, {"COM256", 256}, {"COM1", 1}, {"com 9z", 9}};
    for (const auto& [text, port] : accepted) {
        MakeKey({{"COM", text}});
        CQuarvelAppCore fresh;
        LoadPortSettings(fresh, fresh.PortNumber);
        EXPECT_EQ(fresh.PortNumber, port) << text;
    }
}

TEST_F(Settings, SpeedOutsideTheRangeIsIgnored) {
    for (const char* text : {"10", "-1", "99999999999"}) {
        MakeKey({{"SPEED", text}});
        CQuarvelAppCore fresh;
        LoadPortSettings(fresh, fresh.PortNumber);
        EXPECT_EQ(fresh.SpeedIndex, 9) << text;
    }
    MakeKey({{"SPEED", "x"}});  // no digits read as 0, which is a valid index
    LoadPortSettings(app, app.PortNumber);
    EXPECT_EQ(app.SpeedIndex, 0);
}

TEST_F(Settings, SavesWriteTextWithItsNulAndRefuseOutOfRange) {
    MakeKey({});
    const std::string before = KeyFileText();
    EXPECT_EQ(SavePortSettings(0, app), 13);
    EXPECT_EQ(SavePortSettings(257, app), 13);
    EXPECT_EQ(SaveLanguage(4), 13);
    EXPECT_EQ(SaveLanguage(-1), 13);
    EXPECT_EQ(KeyFileText(), before);

    app.SpeedIndex = 4;
    EXPECT_EQ(SavePortSettings(256, app), 0);
    EXPECT_EQ(SaveLanguage(3), 0);
    EXPECT_EQ(Stored("COM"), std::string("COM256\0", 7));
    EXPECT_EQ(Stored("SPEED"), std::string("4\0", 2));
    EXPECT_EQ(Stored("Language"), std::string("3\0", 2));

    CQuarvelAppCore next;
    LoadLanguage(next);
    LoadPortSettings(next, next.PortNumber);
    EXPECT_EQ(std::make_tuple(next.Language, next.PortNumber, next.SpeedIndex), std::make_tuple(3, 256, 4));
}

// The team history's two texts are typed by people in any script: they come back exactly (on Windows
// through the registry's wide calls), trimmed, and a line break is refused.
TEST_F(Settings, TheTeamTextsKeepAnyScriptAndRefuseControlCharacters) {
    MakeKey({});
    const std::string server =
        "host=db.example.com dbname=quarvel user=\xD0\xB6\xD0\xB5\xD0\xBB sslmode=verify-full";
    const std::string technician =
        "\xD0\x96\xD0\xB5\xD0\xBB\xD1\x8F\xD0\xB7\xD0\xBA\xD0\xBE \xC3\x89mile";  // Желязко Émile
    EXPECT_EQ(SaveTeamSettings("  " + server + " ", technician), 0);
    EXPECT_EQ(SaveTeamSettings("host=a\nhost=b", technician), 13);
    EXPECT_EQ(SaveTeamSettings(server, "Ann\tLee"), 13);
    CQuarvelAppCore loaded;
    LoadHistorySettings(loaded);
    EXPECT_EQ(loaded.HistoryServer, server);
    EXPECT_EQ(loaded.Technician, technician);
    EXPECT_EQ(TechnicianName(loaded), technician);
    EXPECT_EQ(SaveTeamSettings("", ""), 0);
    LoadHistorySettings(loaded = {});
    EXPECT_TRUE(loaded.HistoryServer.empty());
    EXPECT_FALSE(TechnicianName(loaded).empty());  // the account's own name
}

#ifndef _WIN32  // the key file is the settings store on POSIX systems; Windows keeps the registry
TEST_F(Settings, SavingKeepsEveryLineOfAHandEditedKey) {
    MakeKey({});
    // As an installer on another system or an editor leaves it: CR LF, a comment, no final line feed.
    const std::string edited =
        "# Quarvel settings\r\n# my own "
        "note\r\nsz:Language1=C:\\Quarvel\\fr.json\r\nsz:Language2=/opt/q=2/it.json\r\n"
        "sz:COM=COM2\r\nsz:Language3=/opt/bg.json";
    std::ofstream(home.Path() + "/kordane/quarvel.reg", std::ios::binary | std::ios::trunc) << edited;
    app.SpeedIndex = 5;
    ASSERT_EQ(SavePortSettings(7, app), 0);
    EXPECT_EQ(KeyFileText(),
              "# Quarvel settings\n# my own "
              "note\nsz:Language1=C:\\Quarvel\\fr.json\nsz:Language2=/opt/q=2/it.json\n"
              "sz:COM=COM7\nsz:Language3=/opt/bg.json\nsz:SPEED=5\n");
    EXPECT_EQ(Stored("Language1"), std::string("C:\\Quarvel\\fr.json\0", 19));
    EXPECT_EQ(Stored("Language2"), std::string("/opt/q=2/it.json\0", 17));
    EXPECT_EQ(Stored("Language3"), std::string("/opt/bg.json\0", 13));
}
#endif
