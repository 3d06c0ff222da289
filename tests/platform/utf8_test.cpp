#include <gtest/gtest.h>

#include "platform/text/utf8.h"

TEST(Utf8, RoundTripsEveryPlane) {
    const std::string text = "A\xC3\xA9\xD0\x91\xE2\x82\xAC\xF0\x9F\x94\xA7";  // A é Б € 🔧
    CString wide;
    ASSERT_TRUE(Utf8ToUtf16(text, wide));
    EXPECT_EQ(wide, CString(u"A\u00e9\u0411\u20ac\U0001F527"));
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf8, RefusesIllFormedInput) {
    CString wide;
    for (const std::string bad : {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                                  "\xF4\x90\x80\x80", "\xFF", "ab\xE2\x82"}) {
        EXPECT_FALSE(Utf8ToUtf16(bad, wide)) << bad;
        // What a strict reader must take: each byte that starts no character becomes U+FFFD.
        const std::string valid = ValidUtf8(bad);
        EXPECT_TRUE(Utf8ToUtf16(valid, wide)) << bad;
        EXPECT_NE(valid.find("\xEF\xBF\xBD"), std::string::npos) << bad;
    }
    EXPECT_EQ(ValidUtf8("ab\xE2\x82"), "ab\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ValidUtf8(std::string("a\0b", 3)),
              "a\xEF\xBF\xBD"
              "b");  // no NUL reaches a server's text
    EXPECT_EQ(ValidUtf8("A\xC3\xA9\xF0\x9F\x94\xA7"), "A\xC3\xA9\xF0\x9F\x94\xA7");
}

TEST(Utf8, UnpairedSurrogateBecomesReplacement) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
