// Code page conversion: Windows-1252 by default, another page from QUARVEL_CODEPAGE, ASCII always safe.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/code_page.h"

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
        const int n = WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), back, 256,
                                          nullptr, nullptr);
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

// As in the Windows tables: no byte empties a text. Undefined bytes of a single-byte page are the code
// points of their values (and go back to those bytes); an invalid multi-byte sequence is one U+FFFD.
TEST_F(CodePage, OddBytesNeverEmptyAText) {
    struct Case {
        UINT cp;
        std::string bytes;
        std::u16string wide;
        bool roundTrips;
    };
    const Case cases[] = {
        {1252, "SN\x81-42", u"SN\u0081-42", true},
        {1252, "\x81\x8D\x8F\x90\x9D\x80", u"\u0081\u008D\u008F\u0090\u009D\u20AC", true},
        {1251, "\xD0\x98\xCA-9", u"\u0420\u0098\u041A-9", true},
        {65001, "R\xFFK", u"R\uFFFDK", false},  // a byte UTF-8 never uses
        {65001,
         "a\xE2\x82"
         "b\xC3\xA9",
         u"a\uFFFDb\u00E9", false},                         // a sequence broken off, then a good one
        {65001, "a\x80\x80", u"a\uFFFD\uFFFD", false},      // two stray continuation bytes
        {65001, "a\xC3", u"a\uFFFD", false},                // cut short by the end of the text
        {932, "\x82\xA0\x81 b", u"\u3042\uFFFD b", false},  // a lead byte without its trail byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Wide(c.cp, c.bytes), c.wide) << c.cp << " " << c.bytes;
        if (!c.roundTrips) continue;
        char back[64] = {};
        BOOL usedDefault = TRUE;
        const int n = WideCharToMultiByte(c.cp, 0, c.wide.data(), static_cast<int>(c.wide.size()), back, 64,
                                          nullptr, &usedDefault);
        EXPECT_EQ(std::string(back, back + n), c.bytes) << c.cp;
        EXPECT_FALSE(usedDefault) << c.cp;
    }
    EXPECT_EQ(AnsiToWide("SN\x90"
                         "7"),
              u"SN\u00907");
    EXPECT_EQ(WideToAnsi(u"\u0416\u0081"), "?\x81");
}

TEST_F(CodePage, FailuresGiveZeroOrAnEmptyText) {
    char16_t out[4];
    EXPECT_EQ(MultiByteToWideChar(59999, 0, "abc", 3, out, 4), 0);    // no such code page
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcdef", 6, out, 4), 0);  // destination too small
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
    EXPECT_EQ(Wide(65001, "a\xC3"), u"a\uFFFD");  // a UTF-8 sequence cut short
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
