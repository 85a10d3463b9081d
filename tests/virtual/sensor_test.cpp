// The sensor and analogue front end seen through scans: column non-uniformity before and after
// shading with ideal tables, lamp exposure and PWM duty, offset and gain codes, ADC clipping per
// chip, and the one analogue output passing the blue front-end channel.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "tests/support/virtual_rig.h"
#include "tests/support/param_names.h"
#include "virtual/cis_sensor.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

constexpr std::size_t kPixels = 1680;
constexpr std::size_t kWideLine = kPixels * 2 + 2;

vs::ScannerConfig whiteSheet(bool quiet = false) {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.feeder.sheets = {vs::SheetConfig{"white"}};
    if (quiet) {
        config.sensor.prnuPercent = 0;
        config.sensor.dsnuCounts = 0;
        config.sensor.noiseCounts = 0;
    }
    return config;
}

// A 16-bit scan of `lines` lines over the white sheet, averaged per column.
std::vector<double> columnMeans(VirtualRig& rig, ScanProgram program, int lines = 64) {
    program.pixelFormat = 0x38;
    program.skipSteps = 40;
    EXPECT_TRUE(Program(rig.io(), program));
    EXPECT_TRUE(rig.io().writeRegister(0x07, 0x03));
    const auto data = ReadImage(rig.io(), static_cast<std::size_t>(lines) * kWideLine);
    EXPECT_TRUE(rig.io().writeRegister(0x07, 0x00));
    std::vector<double> means(kPixels, 0.0);
    const auto rows = SplitLines(data, kWideLine);
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(lines));
    for (const auto& row : rows) {
        for (std::size_t j = 0; j < kPixels; ++j) means[j] += (row[2 * j] << 8 | row[2 * j + 1]) / double(rows.size());
    }
    return means;
}

double mean(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()); }

double relativeSpread(const std::vector<double>& v) {
    const double m = mean(v);
    double sq = 0;
    for (double x : v) sq += (x - m) * (x - m);
    return std::sqrt(sq / double(v.size())) / m;
}

ScanProgram darkProgram() {
    ScanProgram p;
    p.lampOn[2] = 0x0800;  // the blue lamp would switch on after the 2016-period line has ended
    return p;
}

class Nonuniformity : public ::testing::TestWithParam<double> {};

TEST_P(Nonuniformity, UncalibratedLinesShowTheConfiguredColumnStreaksAndIdealTablesRemoveThem) {
    vs::ScannerConfig config = whiteSheet();
    config.sensor.prnuPercent = GetParam();
    VirtualRig rig = MakeRig(config);
    const auto raw = columnMeans(rig, ScanProgram{});
    const double gain = vs::FrontEndGain(14);
    const double light = 0.92 * config.sensor.whiteSignal;
    const double predicted = std::hypot(light * GetParam() / 100.0, config.sensor.dsnuCounts) /
                             (light + config.sensor.darkLevel);
    EXPECT_NEAR(relativeSpread(raw), predicted, predicted * 0.2);
    EXPECT_NEAR(mean(raw), (light + config.sensor.darkLevel) * gain, 0.02 * mean(raw));

    // Ideal tables from a dark and a white scan, as a calibration would make them.
    const auto dark = columnMeans(rig, darkProgram());
    constexpr double kTarget = 0xD000;
    std::vector<uint16_t> offsets(kPixels), gains(kPixels);
    for (std::size_t j = 0; j < kPixels; ++j) {
        offsets[j] = static_cast<uint16_t>(std::lround(dark[j]));
        gains[j] = static_cast<uint16_t>(std::lround(kTarget * 16384 / (raw[j] - dark[j])));
    }
    ASSERT_TRUE(LoadShading(rig.io(), 2, offsets, gains));
    ScanProgram shaded;
    shaded.memoryConfig = 0x26;  // offset and gain coefficients from the table memory
    const auto corrected = columnMeans(rig, shaded);
    EXPECT_LT(relativeSpread(corrected), 0.003);
    EXPECT_NEAR(mean(corrected), kTarget, 0.005 * kTarget);
}

INSTANTIATE_TEST_SUITE_P(Percent, Nonuniformity, ::testing::Values(1.0, 3.0, 6.0), ::ordavel::test::ReadableName{"Percent"});

TEST(Sensor, ShadingMemoryPowersUpAsZerosSoGainShadingWithoutTablesGivesBlack) {
    VirtualRig rig = MakeRig(whiteSheet());
    ScanProgram program;
    program.memoryConfig = 0x22;
    EXPECT_EQ(mean(columnMeans(rig, program, 4)), 0.0);
}

// Lamp window (on, off) in pixel periods and the exposure it gives relative to 10..1990.
struct LampCase {
    uint16_t on, off, duty;
    double fraction;
};

class LampExposure : public ::testing::TestWithParam<LampCase> {};

TEST_P(LampExposure, LineBrightnessFollowsTheLampsOnTimeWithinTheLineAndTheDuty) {
    const LampCase c = GetParam();
    VirtualRig rig = MakeRig(whiteSheet(true));
    const double full = mean(columnMeans(rig, ScanProgram{}, 4));
    const double dark = mean(columnMeans(rig, darkProgram(), 4));
    ScanProgram program;
    program.lampOn[2] = c.on;
    program.lampOff[2] = c.off;
    program.duty = c.duty;
    const double seen = mean(columnMeans(rig, program, 4));
    EXPECT_NEAR((seen - dark) / (full - dark), c.fraction, 0.002);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, LampExposure,
    ::testing::Values(LampCase{10, 1990, 4095, 1.0}, LampCase{10, 1000, 4095, 990 / 1980.0},
                      LampCase{1000, 1990, 4095, 990 / 1980.0}, LampCase{0x0800, 1990, 4095, 0.0},
                      LampCase{10, 3000, 4095, 2006 / 1980.0}, LampCase{1500, 1000, 4095, 0.0},
                      LampCase{10, 1990, 2048, 2048 / 4095.0}, LampCase{10, 1990, 0, 0.0}));

TEST(Sensor, LampSwitchedOnAfterTheLineGivesTheDarkLevel) {
    const vs::ScannerConfig config = whiteSheet(true);
    VirtualRig rig = MakeRig(config);
    const double dark = mean(columnMeans(rig, darkProgram(), 4));
    EXPECT_NEAR(dark, config.sensor.darkLevel * vs::FrontEndGain(14), 4.0);
    ScanProgram lampOff;
    lampOff.illumination = 0;
    EXPECT_NEAR(mean(columnMeans(rig, lampOff, 4)), dark, 4.0) << "illumination mode 0: lamp off";
}

class OffsetCode : public ::testing::TestWithParam<std::pair<uint8_t, int>> {};

TEST_P(OffsetCode, OffsetCodesAreSignMagnitudeStepsOfAbout305CountsBeforeTheGain) {
    VirtualRig rig = MakeRig(whiteSheet(true));
    ScanProgram program;
    program.lampOff[2] = 1000;  // half the light: room above and below for the offsets
    const double base = mean(columnMeans(rig, program, 2));
    program.offset[2] = GetParam().first;
    const double shifted = mean(columnMeans(rig, program, 2));
    EXPECT_NEAR(shifted - base, GetParam().second * 305 * vs::FrontEndGain(14), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Codes, OffsetCode,
                         ::testing::Values(std::pair<uint8_t, int>{5, 5}, std::pair<uint8_t, int>{31, 31},
                                           std::pair<uint8_t, int>{0x25, -5}, std::pair<uint8_t, int>{0x21, -1}), ::ordavel::test::ReadableName{});

class GainCode : public ::testing::TestWithParam<uint8_t> {};

TEST_P(GainCode, GainCodesScaleTheSignal) {
    const uint8_t code = GetParam();
    VirtualRig rig = MakeRig(whiteSheet(true));
    ScanProgram program;
    program.gain[2] = 0;
    program.lampOff[2] = 400;  // a short exposure keeps the largest gain inside the ADC range
    const double atZero = mean(columnMeans(rig, program, 2));
    program.gain[2] = code;
    const double expected = code < 32 ? 0.933 + code / 15.0 : 3 * (0.933 + (code - 32) / 15.0);
    EXPECT_NEAR(mean(columnMeans(rig, program, 2)) / atZero, expected / 0.933, 0.001 * expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, GainCode, ::testing::Values(1, 14, 31, 32, 45), ::ordavel::test::ReadableName{"Code"});

struct ChipCase {
    vs::Chip chip;
    uint16_t top;
    bool lowBitsUsed;
};

class AdcRange : public ::testing::TestWithParam<ChipCase> {};

TEST_P(AdcRange, TheAdcClipsAtItsRangeWith14BitsOnTheOlderChips) {
    vs::ScannerConfig config = whiteSheet(false);
    config.chip = GetParam().chip;
    VirtualRig rig = MakeRig(config);
    ScanProgram bright;
    bright.gain[2] = 63;
    const auto saturated = columnMeans(rig, bright, 2);
    for (double v : saturated) ASSERT_EQ(v, GetParam().top);
    ScanProgram normal;
    normal.pixelFormat = 0x38;
    normal.skipSteps = 40;
    ASSERT_TRUE(Program(rig.io(), normal) && rig.io().writeRegister(0x07, 0x03));
    const auto line = ReadImage(rig.io(), kWideLine);
    bool lowBits = false;
    for (std::size_t j = 0; j < kPixels; ++j) lowBits |= (line[2 * j + 1] & 0x03) != 0;
    EXPECT_EQ(lowBits, GetParam().lowBitsUsed);
}

INSTANTIATE_TEST_SUITE_P(Chips, AdcRange,
                         ::testing::Values(ChipCase{vs::Chip::LM9831, 0xFFFC, false},
                                           ChipCase{vs::Chip::LM9832, 0xFFFC, false},
                                           ChipCase{vs::Chip::LM9833, 0xFFFF, true}));

TEST(Sensor, OneChannelScansUseTheBlueFrontEndChannelWhateverTheGreyChannelBitsSay) {
    VirtualRig rig = MakeRig(whiteSheet(true));
    ScanProgram program;
    program.channelMode = 0x04;  // grey channel bits say red
    const double base = mean(columnMeans(rig, program, 2));
    program.offset[0] = 20;
    program.gain[0] = 40;
    EXPECT_DOUBLE_EQ(mean(columnMeans(rig, program, 2)), base) << "red front-end settings do nothing";
    program.gain[2] = 20;
    EXPECT_GT(mean(columnMeans(rig, program, 2)), base * 1.2) << "the blue gain acts";
}

}  // namespace
}  // namespace ordavel::test
