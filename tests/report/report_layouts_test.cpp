// The two report layouts as the pieces handed to WriteText, in the built-in English module.
#include <gtest/gtest.h>

#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"
#include "report/report_layouts.h"
#include "report_fixtures.h"
#include "support/source_path.h"

namespace {
struct Collected {
    std::vector<CString> pieces;
    CString Joined() const {
        CString all;
        for (const auto& p : pieces) all += p;
        return all;
    }
};

Collected Text(const ToolRecord& r) {
    Collected c;
    ComposeTextReport(r, [&](const char16_t* piece) { c.pieces.emplace_back(piece); });
    return c;
}
Collected Csv(const ToolRecord& r) {
    Collected c;
    ComposeCsvReport(r, [&](const char16_t* piece) { c.pieces.emplace_back(piece); });
    return c;
}
// The line of item n (0-based) of a composed report.
CString Line(const CString& all, int n) {
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) start = all.find(u'\n', start) + 1;
    return all.substr(start, all.find(u'\n', start) - start);
}
}  // namespace

TEST(ReportLayouts, WorkedExampleInTheTextLayout) {
    CString expected;
    for (const auto& line : kWorkedExampleLines) expected += CString(line[0]) + u" : " + line[1] + u"\n";
    const Collected c = Text(WorkedExampleRecord());
    EXPECT_EQ(c.Joined(), expected);
    ASSERT_EQ(c.pieces.size(), 12u);
    EXPECT_EQ(c.pieces[8], u"Stop conditions : ");
    EXPECT_EQ(c.pieces[9], u"Mechanical breakup\n");
    EXPECT_EQ(c.pieces[11], u"Forward\n");
}

TEST(ReportLayouts, WorkedExampleInTheCommaSeparatedLayout) {
    CString expected;
    for (const auto& line : kWorkedExampleLines)
        expected += u"\"" + CString(line[0]) + u"\",\"" + line[1] + u"\"\n";
    const Collected c = Csv(WorkedExampleRecord());
    EXPECT_EQ(c.Joined(), expected);
    ASSERT_EQ(c.pieces.size(), 12u);
    EXPECT_EQ(c.pieces[10], u"\"Direction\",\"");
    EXPECT_EQ(c.pieces[11], u"Forward\"\n");
}

TEST(ReportLayouts, AllZeroRecord) {
    const CString all = Text(ToolRecord{}).Joined();
    EXPECT_EQ(Line(all, 0), u"Tool : ");
    EXPECT_EQ(Line(all, 3), u"Controller Serial Number : ");
    EXPECT_EQ(Line(all, 4), u"Cycle Counter : 0");
    EXPECT_EQ(Line(all, 6), u"Stop position : 0.000000");
    EXPECT_EQ(Line(all, 7), u"Last force recorded : 0.000000");
    EXPECT_EQ(Line(all, 8), u"Stop conditions : Successful cycle");
    EXPECT_EQ(Line(all, 9), u"Direction : Backward");
    EXPECT_EQ(Line(Csv(ToolRecord{}).Joined(), 1), u"\"Tool Serial Number\",\"\"");
}

TEST(ReportLayouts, DivisorZeroGivesZeroForce) {
    ToolRecord r = WorkedExampleRecord();
    r.ForceDivisor = 0;
    r.ForceReading = 65535;
    r.ForceFactor = 65535;
    EXPECT_EQ(Line(Text(r).Joined(), 7), u"Last force recorded : 0.000000");
}

TEST(ReportLayouts, PositionUsesTheReportRounding) {
    ToolRecord r;
    r.PositionCounts = 4662;
    EXPECT_EQ(Line(Text(r).Joined(), 6), u"Stop position : 50.630000");
    r.PositionCounts = 5698;
    EXPECT_EQ(Line(Csv(r).Joined(), 6), u"\"Stop position\",\"61.880000\"");
}

TEST(ReportLayouts, CountersAreWrittenUnsigned) {
    ToolRecord r;
    r.TotalCounter = 2147483648u;
    r.CycleCounter = 0xFFFFFFFFu;
    const CString all = Text(r).Joined();
    EXPECT_EQ(Line(all, 4), u"Cycle Counter : 4294967295");
    EXPECT_EQ(Line(all, 5), u"Total Counter : 2147483648");
}

TEST(ReportLayouts, QuotesAreDoubledOnlyInTheCommaSeparatedLayout) {
    ToolRecord r;
    std::u16string(u"A\"B,C").copy(r.ToolSerial, 20);
    EXPECT_EQ(Line(Csv(r).Joined(), 1), u"\"Tool Serial Number\",\"A\"\"B,C\"");
    EXPECT_EQ(Line(Text(r).Joined(), 1), u"Tool Serial Number : A\"B,C");
}

// A tool's text that a spreadsheet would run as a formula gets a leading apostrophe in the CSV only.
TEST(ReportLayouts, ToolTextsThatStartLikeAFormulaAreNeutralisedInTheCommaSeparatedLayout) {
    ToolRecord r;
    std::u16string(u"=cmd|'/c calc'!A1").copy(r.ToolSerial, 20);
    std::u16string(u"+1").copy(r.ToolModel, 19);
    std::u16string(u"-2").copy(r.FirmwareVersion, 22);
    std::u16string(u"@SUM(A1)").copy(r.ControllerSerial, 15);
    const CString csv = Csv(r).Joined();
    EXPECT_EQ(Line(csv, 0), u"\"Tool\",\"'+1\"");
    EXPECT_EQ(Line(csv, 1), u"\"Tool Serial Number\",\"'=cmd|'/c calc'!A1\"");
    EXPECT_EQ(Line(csv, 2), u"\"Controller Firmware Version\",\"'-2\"");
    EXPECT_EQ(Line(csv, 3), u"\"Controller Serial Number\",\"'@SUM(A1)\"");
    for (const char16_t* lead : {u"\tx", u"\rx"}) {
        ToolRecord t;
        std::u16string(lead).copy(t.ToolSerial, 20);
        EXPECT_EQ(Line(Csv(t).Joined(), 1).substr(22, 1), u"'") << static_cast<int>(lead[0]);
    }
    EXPECT_EQ(Line(Text(r).Joined(), 1),
              u"Tool Serial Number : =cmd|'/c calc'!A1");  // the text layout as it came
}

TEST(ReportLayouts, LabelsAndTextsFollowTheLoadedLanguage) {
    std::string error;
    std::shared_ptr<const CResourceModule> french = CResourceModule::LoadFile(
        SourcePath("resources/lang/fr.json"), &error, QuarvelResourceRequirements());
    ASSERT_TRUE(french) << error;
    AfxSetResourceHandle(french);
    const CString text = Text(WorkedExampleRecord()).Joined();
    const CString csv = Csv(WorkedExampleRecord()).Joined();
    AfxSetResourceHandle(nullptr);

    const auto fr = [&](UINT id) { return *french->FindString(id); };
    EXPECT_EQ(Line(text, 0), fr(111) + u" : RK-9");
    EXPECT_EQ(Line(text, 6), fr(117) + u" : 2.710000");  // numbers and separators do not change
    EXPECT_EQ(Line(text, 8), fr(119) + u" : " + fr(121));
    EXPECT_EQ(Line(csv, 9), u"\"" + fr(127) + u"\",\"" + fr(124) + u"\"");
    EXPECT_NE(fr(111), u"Tool");
}
