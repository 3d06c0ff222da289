// CHSProtocolApp: the tool's command codes and the decoding of its replies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "protocol/hs_protocol_app.h"
#include "support/deadline.h"
#include "support/scripted_link.h"

namespace {
Bytes Text(const std::string& s, bool withNul = true) {
    Bytes bytes(s.begin(), s.end());
    if (withNul) bytes.push_back(0);
    return bytes;
}

class CommandSet : public ::testing::Test {
protected:
    void SetUp() override {
        link.SetReadTimeout(20);
        ASSERT_TRUE(tool.m_bStarted);
    }
    template <class Call>
    int Within(Call&& call) {
        int status = -1;
        RunWithin(
            20000, [&] { status = call(); }, "command");
        return status;
    }
    ScriptedLink link;
    CHSProtocolApp tool{&link, 300};
};

TEST_F(CommandSet, AcceptsThirtyCodesAndTheBaseReplies) {
    int commands = 0, replies = 0;
    for (int b = 0; b < 256; ++b) {
        commands += tool.IsCommand(b) ? 1 : 0;
        replies += tool.IsReply(b) ? 1 : 0;
    }
    EXPECT_EQ(commands, 30);
    EXPECT_EQ(replies, 14);
    for (char c : std::string("abcdefghijklmnABCDEFGHMNOPQRST")) EXPECT_TRUE(tool.IsCommand(c)) << c;
    EXPECT_FALSE(tool.IsReply(0xB2));
}

TEST_F(CommandSet, SendsTheExtraLowerCaseCodesAndRefusesOthersSilently) {
    for (BYTE code : {BYTE{'I'}, BYTE{'U'}, BYTE{'o'}, BYTE{0x00}, BYTE{'W'}, BYTE{'Z'}}) {
        EXPECT_EQ(Within([&] { return tool.SendCommand(code); }), 0xA5) << int(code);
    }
    EXPECT_TRUE(link.Writes().empty());
    for (BYTE code = 'i'; code <= 'n'; ++code) {
        link.SetReply(code, MakeFrame(0x5A));
        EXPECT_EQ(Within([&] { return tool.SendCommand(code); }), 0x5A) << int(code);
    }
    EXPECT_EQ(link.RequestCodes(), (std::vector<BYTE>{'i', 'j', 'k', 'l', 'm', 'n'}));
}

struct Cycle {
    DWORD v[7] = {11, 11, 11, 11, 11, 11, 11};
    int Read(CHSProtocolApp& tool) {
        return tool.GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]);
    }
};

TEST_F(CommandSet, DecodesCycleDataLittleEndianAndSkipsTheUnusedBytes) {
    link.SetReply('a', {0x55, 0x5A, 0x12, 0x2C, 0x01, 0xF4, 0x01, 0x00, 0x00, 0x03, 0x01,
                        0xE8, 0x03, 0xAA, 0xBB, 0x05, 0xCC, 0x02, 0x00, 0x0A, 0x00, 0xA9});
    Cycle c;
    ASSERT_EQ(Within([&] { return c.Read(tool); }), 0x5A);
    EXPECT_EQ(std::vector<DWORD>(c.v, c.v + 7), (std::vector<DWORD>{300, 500, 259, 1000, 5, 2, 10}));
    EXPECT_EQ(link.WrittenBytes(), (Bytes{0x55, 0x61, 0x00, 0x61}));
}

TEST_F(CommandSet, WidensCycleFieldsWithoutSign) {
    Bytes payload(18, 0xFF);
    link.SetReply('a', MakeFrame(0x5A, payload));
    Cycle c;
    ASSERT_EQ(Within([&] { return c.Read(tool); }), 0x5A);
    EXPECT_EQ(std::vector<DWORD>(c.v, c.v + 7),
              (std::vector<DWORD>{0xFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFF, 0xFFFF, 0xFFFF}));
}

TEST_F(CommandSet, ShortCycleDataFailsAndNeverReadsStaleBytes) {
    link.SetReply('a', MakeFrame(0x5A, Bytes(40, 0x77)));  // fills the slots with 0x77
    Cycle full;
    ASSERT_EQ(Within([&] { return full.Read(tool); }), 0x5A);
    link.SetReply('a', MakeFrame(0x5A, Bytes(17, 0x01)));
    Cycle c;
    EXPECT_EQ(Within([&] { return c.Read(tool); }), 0xA6);
    EXPECT_EQ(std::vector<DWORD>(c.v, c.v + 7), std::vector<DWORD>(7, 11));
}

TEST_F(CommandSet, FailureStatusAndForeignReplyTypesLeaveEveryOutput) {
    link.SetReply('a', MakeFrame(0xA7, Bytes(18, 0x01)));
    Cycle c;
    EXPECT_EQ(Within([&] { return c.Read(tool); }), 0xA7);
    EXPECT_EQ(std::vector<DWORD>(c.v, c.v + 7), std::vector<DWORD>(7, 11));

    link.SetReply('h', MakeFrame(0xB2, Text("RK-9")));
    char16_t model[20] = u"unchanged";
    EXPECT_EQ(Within([&] { return tool.GetToolModel(model); }), 0xAA);
    EXPECT_EQ(std::u16string(model), u"unchanged");
    link.SetReply('h', MakeFrame(0xA7, Text("RK-9")));
    EXPECT_EQ(Within([&] { return tool.GetToolModel(model); }), 0xA7);
    EXPECT_EQ(std::u16string(model), u"unchanged");
}

TEST_F(CommandSet, ControllerSerialKeepsFourteenCharactersAndCutsTheFifteenth) {
    char16_t serial[15];
    link.SetReply('c', MakeFrame(0x5A, Text("ABCDEFGHIJKLMN")));
    ASSERT_EQ(Within([&] { return tool.GetControllerSerial(serial); }), 0x5A);
    EXPECT_EQ(std::u16string(serial), u"ABCDEFGHIJKLMN");
    link.SetReply('c', MakeFrame(0x5A, Text("ABCDEFGHIJKLMNO")));
    ASSERT_EQ(Within([&] { return tool.GetControllerSerial(serial); }), 0x5A);
    EXPECT_EQ(std::u16string(serial), u"ABCDEFGHIJKLMN");
}

TEST_F(CommandSet, EachTextFitsItsBuffer) {
    const std::string longText(60, 'x');
    for (BYTE code : {BYTE{'c'}, BYTE{'e'}, BYTE{'g'}, BYTE{'h'}})
        link.SetReply(code, MakeFrame(0x5A, Text(longText)));
    // One unit past each buffer is a guard that must survive.
    struct {
        char16_t serial[15], guard1 = u'#';
        char16_t toolSerial[21], guard2 = u'#';
        char16_t firmware[23], guard3 = u'#';
        char16_t model[20], guard4 = u'#';
    } t;
    ASSERT_EQ(Within([&] { return tool.GetControllerSerial(t.serial); }), 0x5A);
    ASSERT_EQ(Within([&] { return tool.GetToolSerial(t.toolSerial); }), 0x5A);
    ASSERT_EQ(Within([&] { return tool.GetFirmwareVersion(t.firmware); }), 0x5A);
    ASSERT_EQ(Within([&] { return tool.GetToolModel(t.model); }), 0x5A);
    EXPECT_EQ(std::u16string(t.serial).size(), 14u);
    EXPECT_EQ(std::u16string(t.toolSerial).size(), 20u);
    EXPECT_EQ(std::u16string(t.firmware).size(), 22u);
    EXPECT_EQ(std::u16string(t.model).size(), 19u);
    EXPECT_EQ(t.guard1, u'#');
    EXPECT_EQ(t.guard2, u'#');
    EXPECT_EQ(t.guard3, u'#');
    EXPECT_EQ(t.guard4, u'#');
    EXPECT_EQ(link.RequestCodes(), (std::vector<BYTE>{'c', 'e', 'g', 'h'}));
}

TEST_F(CommandSet, ToolModelOfTwentySixCharactersKeepsItsFirstNineteen) {
    link.SetReply('h', MakeFrame(0x5A, Text("ABCDEFGHIJKLMNOPQRSTUVWXYZ")));
    char16_t model[20];
    ASSERT_EQ(Within([&] { return tool.GetToolModel(model); }), 0x5A);
    EXPECT_EQ(std::u16string(model), u"ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(model[19], u'\0');
}

TEST_F(CommandSet, EmptyTextGivesAnEmptyString) {
    link.SetReply('g', MakeFrame(0x5A, {0x00}));
    char16_t firmware[23] = u"old";
    ASSERT_EQ(Within([&] { return tool.GetFirmwareVersion(firmware); }), 0x5A);
    EXPECT_EQ(std::u16string(firmware), u"");
    link.SetReply('g', MakeFrame(0x5A));  // no payload at all
    std::copy_n(u"old", 4, firmware);
    ASSERT_EQ(Within([&] { return tool.GetFirmwareVersion(firmware); }), 0x5A);
    EXPECT_EQ(std::u16string(firmware), u"");
}

TEST_F(CommandSet, TextWithoutNulEndsAtTheEndOfThePayload) {
    link.SetReply('e', MakeFrame(0x5A, Text(std::string(40, 'q'))));  // leaves 'q's in the slots
    char16_t serial[21];
    ASSERT_EQ(Within([&] { return tool.GetToolSerial(serial); }), 0x5A);
    link.SetReply('e', MakeFrame(0x5A, Text("T-42", false)));
    ASSERT_EQ(Within([&] { return tool.GetToolSerial(serial); }), 0x5A);
    EXPECT_EQ(std::u16string(serial), u"T-42");
}

TEST_F(CommandSet, TextStopsAtItsFirstNul) {
    link.SetReply('h', MakeFrame(0x5A, {'R', 'K', '-', '9', 0x00, 'X', 'Y'}));
    char16_t model[20];
    ASSERT_EQ(Within([&] { return tool.GetToolModel(model); }), 0x5A);
    EXPECT_EQ(std::u16string(model), u"RK-9");
}

TEST_F(CommandSet, HighBytesAreDecodedInWindows1252ByDefault) {
#ifndef _WIN32
    unsetenv("QUARVEL_CODEPAGE");
#endif
    link.SetReply('h', MakeFrame(0x5A, {'R', 0xE9, 0x80, 0x00}));
    char16_t model[20];
    ASSERT_EQ(Within([&] { return tool.GetToolModel(model); }), 0x5A);
    EXPECT_EQ(std::u16string(model), u"R\u00E9\u20AC");
}

// QUARVEL_CODEPAGE is how the POSIX build is told the ANSI code page; Windows has the user's own.
#ifndef _WIN32
TEST_F(CommandSet, HighBytesFollowTheCodePageNamedInTheEnvironment) {
    setenv("QUARVEL_CODEPAGE", "1251", 1);
    link.SetReply('h', MakeFrame(0x5A, {0xD0, 0xCA, '-', '9', 0x00}));
    char16_t model[20];
    const int status = Within([&] { return tool.GetToolModel(model); });
    ASSERT_EQ(status, 0x5A);
    EXPECT_EQ(std::u16string(model), u"\u0420\u041A-9");

    // In UTF-8 a character beyond U+FFFF that the 20-unit limit would cut in half goes whole.
    setenv("QUARVEL_CODEPAGE", "65001", 1);
    link.SetReply('e', MakeFrame(0x5A, Text(std::string(19, 'T') + "\xF0\x9F\x98\x80")));
    char16_t serial[21];
    const int cut = Within([&] { return tool.GetToolSerial(serial); });
    unsetenv("QUARVEL_CODEPAGE");
    ASSERT_EQ(cut, 0x5A);
    EXPECT_EQ(std::u16string(serial), std::u16string(19, u'T'));
}

TEST_F(CommandSet, AnOddByteInATextKeepsTheRestOfIt) {
    unsetenv("QUARVEL_CODEPAGE");
    link.SetReply('e', MakeFrame(0x5A, Text("T-4\x81"
                                            "17")));  // 0x81: undefined in 1252
    char16_t serial[21] = u"old";
    ASSERT_EQ(Within([&] { return tool.GetToolSerial(serial); }), 0x5A);
    EXPECT_EQ(std::u16string(serial), u"T-4\u008117");
    setenv("QUARVEL_CODEPAGE", "65001", 1);
    link.SetReply('h', MakeFrame(0x5A, {'R', 0xFF, 'K', 0x00}));  // not UTF-8
    char16_t model[20] = u"old";
    const int status = Within([&] { return tool.GetToolModel(model); });
    unsetenv("QUARVEL_CODEPAGE");
    ASSERT_EQ(status, 0x5A);
    EXPECT_EQ(std::u16string(model), u"R\uFFFDK");
}
#endif

TEST(CommandSetKeepAlive, TheDerivedEngineKeepsTheLinkAlive) {
    ScriptedLink link;
    link.SetReply('H', MakeFrame(0x5A));
    CHSProtocolApp tool(&link, 300);
    ASSERT_TRUE(tool.m_bStarted);
    tool.StartKeepAlive(10);
    EXPECT_TRUE(link.WaitForRequests('H', 3, 5000));
}
}  // namespace
