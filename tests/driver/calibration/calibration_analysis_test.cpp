// The calibration-scan analysis on small work files: layouts, averaging, skipping, early exit,
// damaged files and the coarse statistics.
#include "driver/calibration/calibration_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <ostream>

#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_set.h"
#include "tests/driver/calibration/calibration_fixture.h"
#include "tests/support/param_names.h"

namespace ordavel::calibration::test {
namespace {

class AnalysisTest : public CalibrationTest {
protected:
    int Analyse(const std::string& path, const char* mode, int32_t& counter, int32_t wanted = 0) {
        return AnalyseCalibrationScan(ctx_, path, mode, counter, wanted);
    }
};

TEST_F(AnalysisTest, OneSampleModeAveragesEveryPixelIntoAllThreeColours) {
    auto path = WriteWorkFile(4, kOneSample, {{10, 20, 30, 40}, {31, 40, 50, 60}});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(counter, 2);
    for (int c = 0; c < kColours; ++c) {
        EXPECT_EQ(Sum(c, 0), 20);  // (10 + 31) / 2 truncates
        EXPECT_EQ(Sum(c, 3), 50);
    }
    EXPECT_EQ(ctx_.calibration.pixelsPerLine, 4);
}

TEST_F(AnalysisTest, PixelInterleavedModeSeparatesTheColoursOfEachPixel) {
    auto path = WriteWorkFile(2, kPixelInterleaved, {{100, 200, 300, 110, 210, 310}, {102, 202, 302, 112, 212, 312}});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Sum(kRed, 0), 101);
    EXPECT_EQ(Sum(kGreen, 0), 201);
    EXPECT_EQ(Sum(kBlue, 0), 301);
    EXPECT_EQ(Sum(kRed, 1), 111);
    EXPECT_EQ(Sum(kBlue, 1), 311);
}

TEST_F(AnalysisTest, LineInterleavedModeCountsALineAfterEachBlueRecordAndDropsAPartialTriple) {
    auto path = WriteWorkFile(3, kLineInterleaved,
                              {Flat(3, 10), Flat(3, 20), Flat(3, 30), Flat(3, 12), Flat(3, 22), Flat(3, 32),
                               Flat(3, 999)});  // a red record without its green and blue
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Sum(kRed, 2), 11);
    EXPECT_EQ(Sum(kGreen, 2), 21);
    EXPECT_EQ(Sum(kBlue, 2), 31);
}

TEST_F(AnalysisTest, OddByteLinesKeepTheirRecordLength) {
    // Eight-bit samples: 3 bytes round down to 2, plus the 2 unused bytes, so records are 4 long.
    ctx_.calibration.bitsPerSample = 8;
    ctx_.calibration.colourMode = kOneSample;
    std::string bytes = Header(3, kOneSample, 2) + std::string("\x01\x02\x03\x00", 4) + std::string("\x05\x06\x07\x00", 4);
    std::string path = ctx_.TempFilePath("BYTES.PXL");
    std::ofstream(path, std::ios::binary) << bytes;
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Sum(kBlue, 0), 3);  // (1 + 5) / 2
    EXPECT_EQ(Sum(kBlue, 1), 4);
}

TEST_F(AnalysisTest, TruncatedFileKeepsTheWholeLinesBeforeTheCut) {
    ctx_.calibration.colourMode = kOneSample;
    auto path = WriteFile("CUT.PXL", Header(4, kOneSample, 3), {Flat(4, 10), Flat(4, 20), Flat(4, 60)}, 5);
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Sum(kBlue, 0), 15);
}

TEST_F(AnalysisTest, NegativeCounterSkipsTheFirstLinesButCountsThem) {
    auto path = WriteWorkFile(2, kOneSample, {Flat(2, 900), Flat(2, 900), Flat(2, 900), Flat(2, 100), Flat(2, 104)});
    int32_t counter = -3;
    ASSERT_EQ(Analyse(path, "BlackFine", counter, 2), 1);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Sum(kBlue, 0), 102);
}

TEST_F(AnalysisTest, FineSumsBuildUpAcrossCallsAndAreAveragedOnlyWhenComplete) {
    for (int c = 0; c < kColours; ++c) ctx_.calibration.sums[c][0] = 5555;  // left from an earlier analysis
    int32_t counter = -3;
    auto first = WriteWorkFile(1, kOneSample, {{800}, {800}});
    ASSERT_EQ(Analyse(first, "BlackFine", counter, 4), 1);
    EXPECT_EQ(counter, -1);
    EXPECT_EQ(Sum(kBlue, 0), 0);  // cleared by a call that starts below 1
    auto second = WriteWorkFile(1, kOneSample, {{800}, {10}});
    ASSERT_EQ(Analyse(second, "BlackFine", counter, 4), 1);
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(Sum(kBlue, 0), 10);  // not yet averaged
    auto third = WriteWorkFile(1, kOneSample, {{20}, {30}, {41}});
    ASSERT_EQ(Analyse(third, "BlackFine", counter, 4), 1);
    EXPECT_EQ(counter, 4);
    EXPECT_EQ(Sum(kBlue, 0), 25);  // 101 / 4
}

TEST_F(AnalysisTest, FineAnalysisAveragesExactlyTheWantedLinesOfALongerScan) {
    auto path = WriteWorkFile(1, kOneSample, {{0}, {0}, {0}, {10}, {20}, {3000}, {3000}});
    int32_t counter = -3;
    ASSERT_EQ(Analyse(path, "BlackFine", counter, 2), 1);
    EXPECT_EQ(counter, 2);
    EXPECT_EQ(Sum(kBlue, 0), 15);
}

TEST_F(AnalysisTest, WhiteFineReplacesOutliersByTheRunningAverage) {
    // 1000, 1000, then a spike of 5000 (above avg + 10 x avg/3) and a dip of 600 (below avg - avg/4).
    auto path = WriteWorkFile(2, kOneSample, {{1000, 1000}, {1000, 1000}, {5000, 1300}, {600, 900}});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "WhiteFine", counter, 4), 1);
    EXPECT_EQ(Sum(kBlue, 0), 1000);
    EXPECT_EQ(Sum(kBlue, 1), (1000 + 1000 + 1300 + 900) / 4);
    EXPECT_TRUE(std::filesystem::exists(StagedPath(ctx_, "cr.dat")));
}

struct OutlierCase {
    int32_t sum;
    int32_t sample;
    int32_t n;
    int32_t addend;
};

class OutlierRuleTest : public ::testing::TestWithParam<OutlierCase> {};

TEST_P(OutlierRuleTest, AddsTheSampleOrTheAverage) {
    const auto& p = GetParam();
    EXPECT_EQ(OutlierRuleAddend(p.sum, p.sample, p.n), p.addend);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutlierRuleTest,
    ::testing::Values(OutlierCase{0, 77, 0, 0}, OutlierCase{0, 77, 1, 77},  // nothing before line 1
                      // n = 2: avg 1000, d = 1000 / 2 = 500: keep 500 .. 6000
                      OutlierCase{1000, 499, 2, 1000}, OutlierCase{1000, 500, 2, 500},
                      OutlierCase{1000, 6000, 2, 6000}, OutlierCase{1000, 6001, 2, 1000},
                      // n = 150: k is capped at 100, so d = 10: keep 990 .. 1100
                      OutlierCase{149000, 989, 150, 1000}, OutlierCase{149000, 990, 150, 990},
                      OutlierCase{149000, 1100, 150, 1100}, OutlierCase{149000, 1101, 150, 1000},
                      // a zero average keeps only zero
                      OutlierCase{0, 0, 5, 0}, OutlierCase{0, 1, 5, 0}));

TEST_F(AnalysisTest, BrightBlackStripEndsEarlyWithoutAveraging) {
    ctx_.calibration.blackShadingValid = true;
    ctx_.calibration.pixelsPerLine = 77;
    auto path = WriteWorkFile(3, kOneSample, {Flat(3, 60000), {100, 20000, 100}, Flat(3, 100)});
    int32_t counter = -1;
    ASSERT_EQ(Analyse(path, "BlackFine", counter, 28), 1);
    EXPECT_EQ(counter, 28);
    EXPECT_FALSE(ctx_.calibration.blackShadingValid);
    EXPECT_TRUE(ctx_.calibration.blackStripEndedEarly);
    EXPECT_EQ(Sum(kBlue, 1), 20000);     // stopped at the first bright pixel of the first line
    EXPECT_EQ(Sum(kBlue, 2), 0);
    EXPECT_EQ(ctx_.calibration.pixelsPerLine, 77);
}

TEST_F(AnalysisTest, BlackStripTestLooksOnlyAtTheFirstAccumulatedLine) {
    auto path = WriteWorkFile(2, kOneSample, {Flat(2, 13000), Flat(2, 60000)});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "BlackFine", counter, 2), 1);
    EXPECT_FALSE(ctx_.calibration.blackStripEndedEarly);
    EXPECT_EQ(Sum(kBlue, 0), 36500);
}

TEST_F(AnalysisTest, BlackStripTestNeedsAllThreeColoursAboveAQuarterOfTheirTargets) {
    // Line-interleaved: a bright red record alone is not enough; the exit comes with blue.
    auto redOnly = WriteWorkFile(1, kLineInterleaved, {{60000}, {100}, {100}});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(redOnly, "BlackFine", counter, 1), 1);
    EXPECT_FALSE(ctx_.calibration.blackStripEndedEarly);

    ctx_.description.Green_Target = 0xFFFF;  // a quarter is 16383.75
    auto bright = WriteWorkFile(1, kLineInterleaved, {{60000}, {16384}, {13313}});
    counter = 0;
    ASSERT_EQ(Analyse(bright, "BlackFine", counter, 1), 1);
    EXPECT_TRUE(ctx_.calibration.blackStripEndedEarly);
}

TEST_F(AnalysisTest, CoarseStatisticsIgnoreFiftyPixelsAtEachEnd) {
    const int n = 120;
    auto line = Line(n, [](int x) { return x < 50 || x > n - 51 ? (x % 2 ? 1 : 65000) : 1000 + x; });
    for (int c = 0; c < kColours; ++c) ctx_.calibration.blackProfile[c][10] = -7;
    auto path = WriteWorkFile(n, kOneSample, {line});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    for (int c = 0; c < kColours; ++c) {
        EXPECT_EQ(ctx_.calibration.channelMinimum[c], 1050);
        EXPECT_EQ(ctx_.calibration.channelMaximum[c], 1000 + n - 51);
        EXPECT_EQ(ctx_.calibration.blackProfile[c][60], 1060);
        EXPECT_EQ(ctx_.calibration.blackProfile[c][10], -7);  // outside the copied range
    }
    // Kept with the calibration's set until the whole calibration succeeds.
    const auto& staged = ctx_.calibration.stagedSettings;
    EXPECT_NE(std::find(staged.begin(), staged.end(), std::pair<std::string, std::string>("startpixel", "150")),
              staged.end());
}

TEST_F(AnalysisTest, CoarseStatisticsOfANarrowLineStayAtTheirStartValues) {
    ctx_.description.startPixel = 42;
    auto path = WriteWorkFile(100, kOneSample, {Flat(100, 500)});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(ctx_.calibration.channelMinimum[kBlue], 0xFFFF);
    EXPECT_EQ(ctx_.calibration.channelMaximum[kBlue], 0);
    const auto& staged = ctx_.calibration.stagedSettings;
    EXPECT_NE(std::find(staged.begin(), staged.end(), std::pair<std::string, std::string>("startpixel", "42")),
              staged.end());
}

TEST_F(AnalysisTest, LinesWiderThanTheArraysAreAnalysedUpToTheirEnd) {
    const int n = kCalibrationPixels + 100;
    auto path = WriteWorkFile(n, kOneSample, {Flat(n, 300), Flat(n, 500)});
    int32_t counter = 0;
    ASSERT_EQ(Analyse(path, "Coarse", counter), 1);
    EXPECT_EQ(Sum(kBlue, kCalibrationPixels - 1), 400);
    EXPECT_EQ(ctx_.calibration.pixelsPerLine, n);
    EXPECT_EQ(ctx_.calibration.channelMaximum[kBlue], 400);
}

struct FailureCase {
    const char* name;
    std::string content;  // empty: no file at all
    const char* mode;
    const char* message;
};

// A failing case prints as its name, not as the bytes of the record.
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class AnalysisFailureTest : public CalibrationTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(AnalysisFailureTest, ReportsAndFails) {
    const auto& p = GetParam();
    std::string path = ctx_.TempFilePath("BAD.PXL");
    if (!p.content.empty()) std::ofstream(path, std::ios::binary) << p.content;
    int32_t counter = 0;
    EXPECT_EQ(AnalyseCalibrationScan(ctx_, path, p.mode, counter, 1), 0);
    EXPECT_EQ(Message(), p.message);
    EXPECT_EQ(counter, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnalysisFailureTest,
    ::testing::Values(
        FailureCase{"Missing", "", "Coarse", "打开扫描文件错误!"},
        FailureCase{"NoVersionMark", "2\n4\n0.00\n0\n4\n4\n1\n200\n200\n2\n", "Coarse", "读像素文件错误!"},
        FailureCase{"HeaderCutShort", "v2\n4\n0.00\n0\n4", "WhiteFine", "读像素文件错误!"},
        FailureCase{"NoPixels", "v2\n0\n0.00\n0\n4\n4\n1\n200\n200\n2\n\0\0", "Coarse", "读扫描文件错误"},
        FailureCase{"NegativePixels", "v2\n-4\n0.00\n0\n4\n4\n1\n200\n200\n2\n", "BlackFine", "读扫描文件错误"},
        FailureCase{"ImpossiblyWide", "v2\n70000\n0.00\n0\n4\n4\n1\n200\n200\n2\n", "Coarse", "读扫描文件错误"},
        FailureCase{"UnknownMode", "v2\n4\n0.00\n0\n4\n4\n1\n200\n200\n2\n", "Medium",
                    "Unknown calibration analysis mode Medium"}),
    ordavel::test::ReadableName{});

}  // namespace
}  // namespace ordavel::calibration::test
