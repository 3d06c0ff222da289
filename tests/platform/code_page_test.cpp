// Code page conversion: Windows-1252 by default, another page from QUARVEL_CODEPAGE, ASCII always safe.
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {
class CodePage : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("QUARVEL_CODEPAGE"); }
    void TearDown() override { unsetenv("QUARVEL_CODEPAGE"); }
};

std::u16string Wide(UINT cp, const std::string& bytes) {
    char16_t out[256] = {};
    const int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), out, 256);
    return std::u16string(out, out + n);
}

TEST_F(CodePage, AsciiRoundTripsInEveryCodePage) {
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
    for (UINT cp : {1250u, 1251u, 1252u, 65001u, static_cast<UINT>(CP_THREAD_ACP)}) {
        const std::u16string wide = Wide(cp, ascii);
        ASSERT_EQ(wide.size(), ascii.size()) << cp;
        char back[256] = {};
        const int n = WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), back, 256, nullptr, nullptr);
        EXPECT_EQ(std::string(back, back + n), ascii) << cp;
    }
}

TEST_F(CodePage, ThreadCodePageIsWindows1252ByDefault) {
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(Wide(CP_THREAD_ACP, "\x80\xE9\x9F"), u"\u20AC\u00E9\u0178");
    EXPECT_EQ(AnsiToWide("caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(WideToAnsi(u"caf\u00E9"), "caf\xE9");
}

TEST_F(CodePage, EnvironmentChoosesAnotherCodePage) {
    setenv("QUARVEL_CODEPAGE", "1251", 1);
    EXPECT_EQ(GetACP(), 1251u);
    EXPECT_EQ(Wide(CP_THREAD_ACP, "\xC0\xFF"), u"\u0410\u044F");
    setenv("QUARVEL_CODEPAGE", "not a number", 1);
    EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(CodePage, FailuresGiveZeroOrAnEmptyText) {
    char16_t out[4];
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "\xFF", 1, out, 4), 0);      // not UTF-8
    EXPECT_EQ(MultiByteToWideChar(59999, 0, "abc", 3, out, 4), 0);       // no such code page
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcdef", 6, out, 4), 0);     // destination too small
    setenv("QUARVEL_CODEPAGE", "59999", 1);
    EXPECT_EQ(AnsiToWide("abc"), u"");
}

TEST_F(CodePage, SizeQueryAndNulTerminatedSource) {
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 0), 3);
    char16_t out[8];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, out, 8), 4);  // the NUL is counted
    EXPECT_EQ(out[3], u'\0');
}

TEST_F(CodePage, CharactersTheCodePageLacksBecomeTheDefaultCharacter) {
    BOOL usedDefault = FALSE;
    char out[8] = {};
    const int n = WideCharToMultiByte(1252, 0, u"a\u0416b", 3, out, 8, nullptr, &usedDefault);
    EXPECT_EQ(std::string(out, out + n), "a?b");
    EXPECT_TRUE(usedDefault);
}

// Each thread keeps its converters between calls: a failure half-way through a text, a change of code page
// and other threads converting at the same time must leave no trace in the next conversion.
TEST_F(CodePage, KeptConvertersStartEveryConversionAfresh) {
    char16_t out[8];
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "a\xC3", 2, out, 8), 0);  // a UTF-8 sequence cut short
    EXPECT_EQ(Wide(65001, "\xC3\xA9"), u"\u00E9");
    EXPECT_EQ(Wide(1251, "\xC0"), u"\u0410");
    EXPECT_EQ(Wide(1252, "\xC0"), u"\u00C0");
    EXPECT_EQ(MultiByteToWideChar(59999, 0, "abc", 3, out, 8), 0);
    EXPECT_EQ(Wide(1252, "\x80"), u"\u20AC");
    char back[8] = {};
    EXPECT_EQ(WideCharToMultiByte(1251, 0, u"\u0410", 1, back, 8, nullptr, nullptr), 1);
    EXPECT_EQ(back[0], '\xC0');

    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            const UINT cp = t % 2 == 0 ? 1251u : 1252u;
            const std::u16string expected = t % 2 == 0 ? u"\u0410\u044F" : u"\u00C0\u00FF";
            for (int i = 0; i < 2000; ++i) wrong[t] += Wide(cp, "\xC0\xFF") != expected;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}
}  // namespace
