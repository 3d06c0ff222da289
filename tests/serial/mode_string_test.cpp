#include <gtest/gtest.h>

#include "platform/serial/mode_string.h"

namespace {

LineSettings Odd7Two() { return LineSettings{4800, 'O', 7, StopBits::Two}; }

struct Case {
    const char* szMode;
    LineSettings expected;
};

TEST(ModeString, ParsesTheFormsTheSystemProducesAndTheShortForm) {
    const Case cases[] = {
        {"baud=9600 parity=N data=8 stop=1", {9600, 'N', 8, StopBits::One}},
        {"baud=115200 parity=N data=8 stop=1", {115200, 'N', 8, StopBits::One}},
        {"baud=21600 parity=N data=8 stop=1", {21600, 'N', 8, StopBits::One}},
        {"BAUD=14400 PARITY=e DATA=7 STOP=2", {14400, 'E', 7, StopBits::Two}},
        {"9600,n,8,1", {9600, 'N', 8, StopBits::One}},
        {"COM3: 19200,e,7,1.5", {19200, 'E', 7, StopBits::OnePointFive}},
        {"com12:baud=1200 parity=n data=8 stop=1", {1200, 'N', 8, StopBits::One}},
        {"96,n,8,1", {9600, 'N', 8, StopBits::One}},  // the old two-digit abbreviation
        {"baud=57600 parity=N data=8 stop=1 xon=off to=off dtr=on rts=hs", {57600, 'N', 8, StopBits::One}},
    };
    for (const Case& c : cases) {
        LineSettings line = Odd7Two();
        EXPECT_TRUE(ParseModeString(c.szMode, line)) << c.szMode;
        EXPECT_EQ(line, c.expected) << c.szMode;
    }
}

TEST(ModeString, KeepsWhatTheStringDoesNotName) {
    LineSettings line = Odd7Two();
    ASSERT_TRUE(ParseModeString("baud=38400", line));
    EXPECT_EQ(line, (LineSettings{38400, 'O', 7, StopBits::Two}));
    line = Odd7Two();
    ASSERT_TRUE(ParseModeString("2400,,8", line));
    EXPECT_EQ(line, (LineSettings{2400, 'O', 8, StopBits::Two}));
}

TEST(ModeString, RefusesWhatItCannotParseAndLeavesTheSettingsAlone) {
    const char* bad[] = {"",
                         "   ",
                         "fast",
                         "baud=",
                         "baud=abc parity=N",
                         "baud=9600 parity=X",
                         "baud=9600 data=9",
                         "baud=9600 stop=3",
                         "baud=0",
                         "baud=9600 colour=red",
                         "9600,n,8,1,p,q",
                         ",n,8,1",
                         "9600;n;8;1",
                         "baud=9600 parity=N data=8 stop=1 junk",
                         "baud=99999999999"};
    for (const char* mode : bad) {
        LineSettings line = Odd7Two();
        EXPECT_FALSE(ParseModeString(mode, line)) << mode;
        EXPECT_EQ(line, Odd7Two()) << mode;
    }
    LineSettings line = Odd7Two();
    EXPECT_FALSE(ParseModeString(nullptr, line));
    EXPECT_EQ(line, Odd7Two());
}

}  // namespace
