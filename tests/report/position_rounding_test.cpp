// The report's rounding of the stop position against the dialog's, over every 16-bit reading.
#include <gtest/gtest.h>

#include <clocale>

#include "record/tool_quantities.h"
#include "report/report_format.h"

TEST(PositionRounding, ReportAndDisplayAgreeExceptForTwoReadings) {
    EXPECT_EQ(FormatFixed6(ReportStopPositionMm(4662)), u"50.630000");
    EXPECT_EQ(FormatFixed6(ReportStopPositionMm(5698)), u"61.880000");
    EXPECT_DOUBLE_EQ(DisplayStopPositionMm(4662), 50.62);
    EXPECT_DOUBLE_EQ(DisplayStopPositionMm(5698), 61.87);
    EXPECT_EQ(FormatFixed6(ReportStopPositionMm(250)), u"2.710000");
    for (DWORD counts = 0; counts <= 0xFFFF; ++counts) {
        if (counts == 4662 || counts == 5698) continue;
        ASSERT_EQ(ReportStopPositionMm(counts), DisplayStopPositionMm(counts)) << counts;
    }
}

TEST(PositionRounding, FixedFormatIgnoresTheLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where present, its decimal point is ','
    EXPECT_EQ(FormatFixed6(0.45), u"0.450000");
    EXPECT_EQ(FormatFixed6(711.65), u"711.650000");
    std::setlocale(LC_ALL, "C");
}
