// The per-user key store: the registry-shaped calls, the file format and its damage tolerance,
// and concurrent writers in separate processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/settings/key_file.h"
#include "platform/settings/key_store.h"
#include "support/source_path.h"
#include "support/temp_config_home.h"

namespace {
constexpr const char* kKey = "Software\\Kordane\\Quarvel";

struct Value {
    std::string name;
    std::string data;
    bool operator==(const Value&) const = default;
};

std::vector<Value> Enumerate(HKEY key) {
    std::vector<Value> values;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        BYTE data[4096];
        DWORD nameLen = sizeof name, dataLen = sizeof data, type = 0;
        const LONG rc = RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(rc, ERROR_SUCCESS);
        if (rc != ERROR_SUCCESS) break;
        values.push_back({std::string(name, nameLen), std::string(reinterpret_cast<char*>(data), dataLen)});
    }
    return values;
}

std::vector<Value> ReadKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    auto values = Enumerate(key);
    RegCloseKey(key);
    return values;
}

LONG SetText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

HKEY CreateKey() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    return key;
}

std::string KeyFile() {
    std::string path;
    EXPECT_EQ(KeyFilePath(kKey, &path), ERROR_SUCCESS);
    return path;
}

std::string Sz(const std::string& text) { return text + '\0'; }

class KeyStore : public ::testing::Test {
protected:
    TempConfigHome home;
};
}  // namespace

TEST_F(KeyStore, MissingKeyGivesFileNotFoundAndCreatesNothing) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(home.Path()));
    EXPECT_EQ(KeyFile(), home.Path() + "/kordane/quarvel.reg");
}

TEST_F(KeyStore, ValuesKeepTheirOrderAndAReplacedValueItsPlace) {
    HKEY key = CreateKey();
    ASSERT_EQ(SetText(key, "COM", "COM3"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "SPEED", "9"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Language", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "COM", "COM12"), ERROR_SUCCESS);
    const std::vector<Value> expected = {{"COM", Sz("COM12")}, {"SPEED", Sz("9")}, {"Language", Sz("1")}};
    EXPECT_EQ(Enumerate(key), expected);
    DWORD values = 0, longestName = 0, longestData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, &values, &longestName, &longestData), ERROR_SUCCESS);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(longestName, 8u);  // "Language"
    EXPECT_EQ(longestData, 6u);  // "COM12" and its NUL
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(ReadKey(), expected);
    EXPECT_FALSE(std::filesystem::exists(KeyFile() + ".tmp"));
}

TEST_F(KeyStore, EnumerationReportsSmallBuffersAndTheEnd) {
    HKEY key = CreateKey();
    ASSERT_EQ(SetText(key, "Language", "12345"), ERROR_SUCCESS);
    char name[16];
    BYTE data[16];
    DWORD nameLen = 8, dataLen = sizeof data;  // "Language" needs 9 with its NUL
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, nullptr, data, &dataLen), ERROR_MORE_DATA);
    nameLen = sizeof name;
    dataLen = 3;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, nullptr, data, &dataLen), ERROR_MORE_DATA);
    EXPECT_EQ(dataLen, 6u);
    nameLen = sizeof name;
    dataLen = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, nullptr, nullptr, &dataLen), ERROR_SUCCESS);
    EXPECT_EQ(dataLen, 6u);
    nameLen = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameLen, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(KeyStore, AnyEightBitTextRoundTrips) {
    std::string every;
    for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
    const std::vector<Value> expected = {
        {every, Sz(every)},
        {"a=b\nc", Sz("line one\nline two\r\n=\\x41\\\\")},
        {"", Sz("")},
        {"binary", std::string("\0\x01\xFF\0", 4)},
    };
    HKEY key = CreateKey();
    for (const Value& v : expected)
        ASSERT_EQ(
            RegSetValueExA(key, v.name.c_str(), 0, v.name == "binary" ? REG_BINARY : REG_SZ,
                           reinterpret_cast<const BYTE*>(v.data.data()), static_cast<DWORD>(v.data.size())),
            ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadKey(), expected);
    // The file is line-based: every value is one line, whatever bytes it holds.
    const std::string text = ReadWholeFile(KeyFile());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST_F(KeyStore, AHandleSeesItsSnapshotPlusItsOwnWrites) {
    HKEY first = CreateKey();
    ASSERT_EQ(SetText(first, "A", "1"), ERROR_SUCCESS);
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &reader), ERROR_SUCCESS);
    ASSERT_EQ(SetText(first, "B", "2"), ERROR_SUCCESS);
    EXPECT_EQ(Enumerate(reader), (std::vector<Value>{{"A", Sz("1")}}));
    ASSERT_EQ(SetText(reader, "C", "3"), ERROR_SUCCESS);  // merged with B under the lock
    EXPECT_EQ(Enumerate(reader), (std::vector<Value>{{"A", Sz("1")}, {"B", Sz("2")}, {"C", Sz("3")}}));
    RegCloseKey(first);
    RegCloseKey(reader);
}

TEST_F(KeyStore, RefusesBadHandlesAccessAndDeletedKeys) {
    HKEY key = CreateKey();
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryInfoKeyA(HKEY_CURRENT_USER, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x80000002u), kKey, 0, KEY_READ, &other),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\\\Kordane", 0, KEY_READ, &other),
              ERROR_INVALID_PARAMETER);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "COM", "COM1"), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::filesystem::remove(KeyFile());
    EXPECT_EQ(SetText(key, "COM", "COM1"), static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_FALSE(std::filesystem::exists(KeyFile()));
    RegCloseKey(key);
}

TEST(KeyPath, MapsSubkeysToFilesUnderTheConfigDirectory) {
    const std::pair<const char*, const char*> cases[] = {
        {"Software\\Kordane\\Quarvel", "kordane/quarvel.reg"},
        {"SOFTWARE\\KORDANE\\QUARVEL", "kordane/quarvel.reg"},
        {"Software", "software.reg"},
        {"Other Vendor\\App.v2", "other%20vendor/app.v2.reg"},
        {"..\\..\\etc", "%2E./%2E./etc.reg"},
        {"a/b", "a%2Fb.reg"},
    };
    for (const auto& [subKey, expected] : cases) {
        std::string path;
        ASSERT_TRUE(KeyRelativePath(subKey, &path)) << subKey;
        EXPECT_EQ(path, expected);
    }
    std::string path;
    for (const char* bad : {"", "\\Quarvel", "Software\\", "a\\\\b"})
        EXPECT_FALSE(KeyRelativePath(bad, &path)) << bad;
}

TEST(KeyFileFormat, ACutFileKeepsEveryWholeValue) {
    const std::vector<KeyValue> values = {{"Language", 1, Sz("2")},
                                          {"Language2", 1, Sz("/usr/share/quarvel/lang/it.json")},
                                          {"COM", 1, Sz("COM7")}};
    const std::string text = SerializeKeyFile(values);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string part = text.substr(0, cut);
        const std::vector<KeyValue> read = ParseKeyFile(part);
        // Lines ended before the cut, less the header; the cut line itself reads as what it holds.
        const auto whole =
            static_cast<std::size_t>(std::max<long>(0, std::count(part.begin(), part.end(), '\n') - 1));
        ASSERT_LE(read.size(), values.size());
        ASSERT_GE(read.size(), whole) << cut;
        for (std::size_t i = 0; i < whole; ++i) {
            EXPECT_EQ(read[i].name, values[i].name) << cut;
            EXPECT_EQ(read[i].data, values[i].data) << cut;
        }
        if (cut == text.size()) {
            EXPECT_EQ(read.size(), values.size());
        }
    }
}

TEST(KeyFileFormat, GarbledLinesAreSkippedAndTheRestIsRead) {
    const std::string text = std::string("# header\nsz:COM=COM3\ngarbage without colon\nsz:lone\\q=x\n") +
                             "99999999999:X=1\nsz:raw\x01=x\nsz:SPEED=4\nsz:COM=COM9\n\n" +
                             std::string("\0\0\xFF\n", 4) +
                             "3:bin=\\x00\\x7f\r\nsz:eq=a=b\\x3D\\\\c\\\r\nsz:last=no line feed";
    const std::vector<KeyValue> read = ParseKeyFile(text);
    ASSERT_EQ(read.size(), 6u);
    EXPECT_EQ(read[0].data, Sz("COM3"));  // the first of two values named COM
    EXPECT_EQ(read[1].name, "lone\\q");   // a backslash that starts no escape is itself
    EXPECT_EQ(read[2].name, "SPEED");
    EXPECT_EQ(read[3].type, 3u);
    EXPECT_EQ(read[3].data, std::string("\0\x7F", 2));  // CR LF ends the line
    EXPECT_EQ(read[4].data, Sz("a=b=\\c\\"));           // '=' after the name's is data
    EXPECT_EQ(read[5].data, Sz("no line feed"));
    // Written back, every line stays as it was; only the line ends become LF.
    std::string expected = text;
    for (auto crlf = expected.find("\r\n"); crlf != std::string::npos; crlf = expected.find("\r\n"))
        expected.erase(crlf, 1);
    EXPECT_EQ(SerializeKeyFileLines(ParseKeyFileLines(text)), expected + "\n");
}

TEST(KeyFileFormat, RandomBytesNeverCrashTheReader) {
    std::mt19937 random(1234);
    const std::string valid = SerializeKeyFile({{"Language", 1, Sz("1")}, {"COM", 1, Sz("COM1")}});
    for (int round = 0; round < 2000; ++round) {
        std::string text = valid;
        for (int k = 0; k < 4; ++k) text[random() % text.size()] = static_cast<char>(random());
        if (round % 2) text.resize(random() % text.size());
        for (const KeyValue& v : ParseKeyFile(text)) EXPECT_LE(v.name.size(), text.size());
    }
}

TEST_F(KeyStore, DamagedFileOnDiskIsReadAsFarAsSound) {
    RegCloseKey(CreateKey());
    const std::string path = KeyFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "sz:COM=COM5\n\x01\x02garbage\nsz:SPEED=3\nsz:Language=2";  // last line cut off
    }
    EXPECT_EQ(ReadKey(),
              (std::vector<Value>{{"COM", Sz("COM5")}, {"SPEED", Sz("3")}, {"Language", Sz("2")}}));
    // The next write changes its value's line and keeps every other line as it was.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Language", "1"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(ReadKey(),
              (std::vector<Value>{{"COM", Sz("COM5")}, {"SPEED", Sz("3")}, {"Language", Sz("1")}}));
    EXPECT_EQ(ReadWholeFile(path), "sz:COM=COM5\n\x01\x02garbage\nsz:SPEED=3\nsz:Language=1\n");
}

TEST_F(KeyStore, ALinkedKeyIsReadThroughAndItsTargetReplaced) {
    namespace fs = std::filesystem;
    RegCloseKey(CreateKey());
    const std::string link = KeyFile();
    const std::string target = home.Path() + "/dotfiles/quarvel.reg";
    fs::create_directories(home.Path() + "/dotfiles");
    fs::rename(link, target);
    fs::remove(link + ".lock");
    fs::create_symlink("../dotfiles/quarvel.reg", link);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "COM", "COM4"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadKey(), (std::vector<Value>{{"COM", Sz("COM4")}}));
    EXPECT_NE(ReadWholeFile(target).find("sz:COM=COM4\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(target + ".lock"));  // the lock and temporary files live beside the target
    EXPECT_FALSE(fs::exists(link + ".lock"));

    // A link whose target has gone is not a missing key to be created in the link's place.
    fs::remove(target);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_PATH_NOT_FOUND);
    DWORD disposition = 0;
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
        ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(KeyStore, AHeldLockIsWaitedForBoundedly) {
    HKEY key = CreateKey();
    const int holder = open((KeyFile() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_EQ(SetText(key, "COM", "COM1"), ERROR_SHARING_VIOLATION);  // after about two seconds
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        close(holder);
    });
    EXPECT_EQ(SetText(key, "COM", "COM2"), ERROR_SUCCESS);  // taken once the holder lets go
    release.join();
    RegCloseKey(key);
    EXPECT_EQ(ReadKey(), (std::vector<Value>{{"COM", Sz("COM2")}}));
}

TEST_F(KeyStore, TwoProcessesWritingAtOnceLoseNothing) {
    HKEY key = CreateKey();
    RegCloseKey(key);
    constexpr int kWrites = 60;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            alarm(120);  // a hang in the child ends it, so the parent's wait ends too
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                HKEY k = nullptr;
                if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) {
                    ++failures;
                    continue;
                }
                failures +=
                    SetText(k, "P" + std::to_string(c) + "_" + std::to_string(i), std::to_string(i)) != 0;
                RegCloseKey(k);
            }
            _exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const std::vector<Value> values = ReadKey();
    EXPECT_EQ(values.size(), 2u * kWrites);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < kWrites; ++i)
            EXPECT_NE(
                std::find(values.begin(), values.end(),
                          Value{"P" + std::to_string(c) + "_" + std::to_string(i), Sz(std::to_string(i))}),
                values.end());
}

TEST_F(KeyStore, RegisterScriptWritesTheSameFormatAndNeverOverwrites) {
    namespace fs = std::filesystem;
    const std::string langDir = home.Path() + "/odd = dir\\x41";
    fs::create_directories(langDir);
    for (const char* lang : {"fr", "it", "bg"}) std::ofstream(langDir + "/" + lang + ".json") << "{}";
    // A hand-edited key behind a link: CR LF line ends, a comment, a literal '=', no final line feed.
    RegCloseKey(CreateKey());
    const std::string target = home.Path() + "/dotfiles.reg";
    const std::string mine = "# mine\r\nsz:Language2=/mine/it=1.json\r\nsz:COM=COM";
    std::ofstream(target, std::ios::binary) << mine;
    fs::remove(KeyFile());
    fs::create_symlink(target, KeyFile());
    const std::string command = "'" + SourcePath("scripts/register") + "' --lang-dir '" + langDir + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string canonical = fs::canonical(langDir).string();
    const std::vector<Value> expected = {{"Language2", Sz("/mine/it=1.json")},
                                         {"COM", Sz("COM")},
                                         {"Language1", Sz(canonical + "/fr.json")},
                                         {"Language3", Sz(canonical + "/bg.json")}};
    EXPECT_EQ(ReadKey(), expected);
    EXPECT_TRUE(fs::is_symlink(KeyFile()));
    EXPECT_EQ(
        ReadWholeFile(target).rfind("# mine\nsz:Language2=/mine/it=1.json\nsz:COM=COM\nsz:Language1=", 0),
        0u);
    ASSERT_EQ(std::system(command.c_str()), 0);  // a second run changes nothing
    EXPECT_EQ(ReadKey(), expected);
}
