// The model check and the derived quantities that the dialog and the report share.
#include <gtest/gtest.h>

#include <cstring>

#include "record/tool_quantities.h"
#include "record/tool_record.h"

namespace {
ToolRecord WithModel(const void* bytes, std::size_t n) {
    ToolRecord r;
    std::memcpy(r.DeviceInfo, bytes, n);
    return r;
}
bool Accepts(const char* model, std::size_t n) {
    const ToolRecord r = WithModel(model, n);
    return ModelMatches(r.ExpectedModel, r.DeviceInfo);
}
}  // namespace

TEST(ModelMatches, AcceptsExactlyTheModelFollowedByNul) {
    EXPECT_TRUE(Accepts("RK-9\0\0\0\0", 8));
    EXPECT_TRUE(Accepts("RK-9\0XYZ", 8));  // bytes after the NUL do not matter
    EXPECT_FALSE(Accepts("rk-9", 5));
    EXPECT_FALSE(Accepts("RK-9 ", 6));
    EXPECT_FALSE(Accepts("RK-9X", 6));
    EXPECT_FALSE(Accepts("RK-", 4));
    EXPECT_FALSE(Accepts("", 1));
}

TEST(ModelMatches, ModelWithoutNulStaysInsideDeviceInfo) {
    BYTE info[16];
    std::memset(info, 'R', sizeof info);  // no NUL anywhere: a strcmp would run off the end
    char expected[8];
    std::memset(expected, 'R', sizeof expected);
    EXPECT_TRUE(ModelMatches(expected, info));
    info[7] = 'S';
    EXPECT_FALSE(ModelMatches(expected, info));
}

TEST(StopPosition, DisplayRoundsToHundredths) {
    EXPECT_DOUBLE_EQ(DisplayStopPositionMm(1000), 10.86);
    EXPECT_DOUBLE_EQ(DisplayStopPositionMm(1), 0.01);
    EXPECT_DOUBLE_EQ(DisplayStopPositionMm(65535), 711.65);
    // Far outside 16 bits the hundredths no longer fit 32 bits: they wrap, defined, like the report's.
    EXPECT_EQ(DisplayStopPositionMm(0xFFFFFFFFu), ReportStopPositionMm(0xFFFFFFFFu));
}

TEST(Force, IsProductOverDivisorInKilonewtons) {
    EXPECT_DOUBLE_EQ(ForceKn(300, 3, 2), 0.45);
    EXPECT_DOUBLE_EQ(ForceKn(500, 3, 2), 0.75);
    EXPECT_DOUBLE_EQ(ForceKn(1001, 1, 2), 0.5);  // the quotient is rounded down
    EXPECT_EQ(ForceKn(12345, 678, 0), 0.0);
    // The product is taken modulo 2^32: 0x10001 x 0x10000 leaves 0x10000.
    EXPECT_DOUBLE_EQ(ForceKn(0x10001, 0x10000, 1), 65.536);
}

TEST(CycleTexts, ResultAndDirectionIdsFollowTheFlags) {
    const struct {
        DWORD flags;
        UINT result, direction;
    } cases[] = {{0, 120, 125}, {1, 121, 125}, {2, 122, 125}, {3, 135, 125},
                 {4, 120, 124}, {5, 121, 124}, {7, 135, 124}, {0xF8, 120, 125}};
    for (const auto& c : cases) {
        EXPECT_EQ(ResultStringId(c.flags), c.result) << c.flags;
        EXPECT_EQ(DirectionStringId(c.flags), c.direction) << c.flags;
    }
}
