// The digital pipeline: the divider's averaging, shading, gamma and packing as functions, and the
// same steps checked end to end by scanning a still sheet once raw and once processed.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/virtual_rig.h"
#include "tests/support/param_names.h"
#include "virtual/line_pipeline.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

struct DivideCase {
    int halves;
    std::vector<uint16_t> in, out;
};

class Divide : public ::testing::TestWithParam<DivideCase> {};

TEST_P(Divide, AveragesTheHalfPixelsEachOutputPixelCovers) {
    const DivideCase& c = GetParam();
    std::vector<uint16_t> out(c.out.size());
    vs::DivideLine(c.in.data(), c.in.size(), c.halves, out.data(), out.size());
    EXPECT_EQ(out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Dividers, Divide,
    ::testing::Values(DivideCase{2, {1, 2, 3}, {1, 2, 3}},
                      // 1.5: (2a + b) / 3, then (b + 2c) / 3
                      DivideCase{3, {300, 600, 900, 30, 60, 90}, {400, 800, 40, 80}},
                      DivideCase{4, {10, 20, 7, 8, 65535, 65535}, {15, 7, 65535}},
                      DivideCase{6, {1, 2, 4, 10, 10, 10}, {2, 10}},
                      DivideCase{24, std::vector<uint16_t>(12, 1000), {1000}}));

TEST(Pipeline, ShadingSubtractsFloorsMultipliesAndSaturates) {
    std::vector<uint16_t> values = {1000, 1000, 1000, 60000, 500};
    const std::vector<uint16_t> offsets = {100, 2000, 0, 0, 0};
    const std::vector<uint16_t> gains = {16384, 16384, 32768, 32768, 16384};
    vs::ShadeLine(values.data(), values.size(), offsets.data(), gains.data(), 4, true, true);
    // 900 × 1; floor at 0; doubled; saturated; past the table the words are zero.
    EXPECT_EQ(values, (std::vector<uint16_t>{900, 0, 2000, 0xFFFF, 0}));
    std::vector<uint16_t> offsetOnly = {1000, 50};
    vs::ShadeLine(offsetOnly.data(), 2, offsets.data(), gains.data(), 4, true, false);
    EXPECT_EQ(offsetOnly, (std::vector<uint16_t>{900, 0}));
}

struct PackCase {
    int bits;
    std::vector<uint8_t> samples;  // gamma outputs
    std::size_t bytes;
    std::vector<uint8_t> packed;
};

class Pack : public ::testing::TestWithParam<PackCase> {};

TEST_P(Pack, FirstSampleGoesInTheMostSignificantBits) {
    const PackCase& c = GetParam();
    std::vector<uint8_t> out(c.bytes);
    vs::PackLine(nullptr, c.samples.data(), c.samples.size(), c.bits, out.data(), out.size());
    EXPECT_EQ(out, c.packed);
}

INSTANTIATE_TEST_SUITE_P(Depths, Pack,
                         ::testing::Values(PackCase{1, {0x80, 0x7F, 0xFF, 0, 0, 0, 0, 0x80, 0xFF}, 2, {0xA1, 0x80}},
                                           PackCase{2, {0xC0, 0x40, 0x80, 0x3F}, 1, {0xD8}},
                                           PackCase{4, {0xAB, 0xCD, 0x12}, 1, {0xAC}},
                                           PackCase{8, {1, 2, 3}, 2, {1, 2}}));

TEST(Pipeline, SixteenBitSamplesAreBigEndian) {
    const std::vector<uint16_t> wide = {0x1234, 0xABCD};
    std::vector<uint8_t> out(4);
    vs::PackLine(wide.data(), nullptr, 2, 16, out.data(), 4);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x12, 0x34, 0xAB, 0xCD}));
}

// ---- end to end on a still sheet ----

vs::ScannerConfig noiselessStill() {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.sensor.noiseCounts = 0;  // non-uniformity stays: every pixel differs, scans repeat exactly
    config.feeder.sheets = {vs::SheetConfig{"chart"}};
    return config;
}

ScanProgram still(uint8_t pixelFormat, uint16_t start = 150, uint16_t end = 1830) {
    ScanProgram p;
    p.motorConfig = 0x00;
    p.pixelFormat = pixelFormat;
    p.dataStart = start;
    p.dataEnd = end;
    return p;
}

// The first line of a scan with `program`, status word removed.
std::vector<uint8_t> firstLine(VirtualRig& rig, const ScanProgram& program, std::size_t lineBytes) {
    EXPECT_TRUE(Program(rig.io(), program));
    EXPECT_TRUE(rig.io().writeRegister(0x07, 0x03));
    auto data = ReadImage(rig.io(), lineBytes);
    EXPECT_TRUE(rig.io().writeRegister(0x07, 0x00));
    EXPECT_EQ(data.size(), lineBytes);
    data.resize(lineBytes - 2);
    return data;
}

std::vector<uint16_t> words(const std::vector<uint8_t>& bytes) {
    std::vector<uint16_t> w(bytes.size() / 2);
    for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    return w;
}

TEST(Pipeline, ShadingAndGammaApplyToEachOutputPixelAsTheChipDoes) {
    VirtualRig rig = MakeRig(noiselessStill());
    // A sheet under the scan line first: move the chart 100 steps on.
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && rig.io().writeWord(0x4A, 100) && rig.io().writeRegister(0x07, 5));
    rig.clock->sleep(200);
    const auto raw = words(firstLine(rig, still(0x38), 1680 * 2 + 2));

    std::mt19937 rng(7);
    std::vector<uint16_t> offsets(1680), gains(1680);
    std::vector<uint8_t> gamma(4096);
    for (auto& o : offsets) o = static_cast<uint16_t>(rng() % 4000);
    for (auto& g : gains) g = static_cast<uint16_t>(8000 + rng() % 30000);
    for (auto& e : gamma) e = static_cast<uint8_t>(rng());
    ASSERT_TRUE(LoadShading(rig.io(), 2, offsets, gains) && LoadGamma(rig.io(), 2, gamma));
    // Tables of the other colours must not matter in a one-channel scan.
    ASSERT_TRUE(LoadShading(rig.io(), 0, std::vector<uint16_t>(1680, 0), std::vector<uint16_t>(1680, 0)));
    ScanProgram shaded = still(0x18);
    shaded.memoryConfig = 0x26;
    const auto out = firstLine(rig, shaded, 1680 + 2);
    for (std::size_t j = 0; j < 1680; ++j) {
        const uint32_t lessOffset = raw[j] > offsets[j] ? raw[j] - offsets[j] : 0;
        const uint32_t v = std::min<uint32_t>(0xFFFF, lessOffset * gains[j] >> 14);
        ASSERT_EQ(out[j], gamma[v >> 4]) << "pixel " << j;
    }
}

struct DepthCase {
    uint8_t pixelFormat;
    int bits;
};

class Depth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(Depth, LinesPackTheGammaOutputsTopBitsIntoAnEvenByteCount) {
    const DepthCase c = GetParam();
    VirtualRig rig = MakeRig(noiselessStill());
    ASSERT_TRUE(LoadLinearGamma(rig.io()));
    const auto eight = firstLine(rig, still(0x18, 150, 1829), 1679 + 1 + 2);  // 1679 pixels: 1678 bytes kept
    const std::size_t bytes = (1679 * static_cast<std::size_t>(c.bits) / 8) & ~std::size_t{1};
    const auto packed = firstLine(rig, still(c.pixelFormat, 150, 1829), bytes + 2);
    for (std::size_t i = 0; i < bytes * 8 / static_cast<std::size_t>(c.bits); ++i) {
        const std::size_t bit = i * static_cast<std::size_t>(c.bits);
        const int value = (packed[bit / 8] >> (8 - c.bits - bit % 8)) & ((1 << c.bits) - 1);
        ASSERT_EQ(value, eight[i] >> (8 - c.bits)) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, Depth,
                         ::testing::Values(DepthCase{0x00, 1}, DepthCase{0x08, 2}, DepthCase{0x10, 4}, DepthCase{0x18, 8}));

class DividerCode : public ::testing::TestWithParam<int> {};

TEST_P(DividerCode, TheDividerAveragesRawPixelsIntoFewerOutputPixels) {
    const int code = GetParam();
    constexpr int kHalves[8] = {2, 3, 4, 6, 8, 12, 16, 24};
    const auto h = static_cast<std::size_t>(kHalves[code]);
    VirtualRig rig = MakeRig(noiselessStill());
    const auto raw = words(firstLine(rig, still(0x38), 1680 * 2 + 2));
    const std::size_t n = 1680 * 2 / h;
    const auto divided = words(firstLine(rig, still(static_cast<uint8_t>(0x38 | code)), n * 2 + 2));
    ASSERT_EQ(divided.size(), n);
    for (std::size_t j = 0; j < n; ++j) {
        uint64_t sum = 0;
        for (std::size_t half = j * h; half < (j + 1) * h; ++half) sum += raw[half / 2];
        ASSERT_EQ(divided[j], sum / h) << "output pixel " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, DividerCode, ::testing::Values(1, 2, 3, 7), ::ordavel::test::ReadableName{"Divider"});

TEST(Pipeline, DataPixelsSelectTheSliceOfTheSensorLine) {
    VirtualRig rig = MakeRig(noiselessStill());
    const auto full = words(firstLine(rig, still(0x38, 0, 2000), 2000 * 2 + 2));
    const auto slice = words(firstLine(rig, still(0x38, 300, 520), 220 * 2 + 2));
    EXPECT_TRUE(std::equal(slice.begin(), slice.end(), full.begin() + 300));
    // Optical black pixels see no light: they read the dark level.
    EXPECT_LT(*std::max_element(full.begin(), full.begin() + 150), full[990] / 3);
}

TEST(Pipeline, PixelRateColourTriplesThePixelPeriodAndInterleavesThreeSamples) {
    VirtualRig rig = MakeRig(noiselessStill());
    ScanProgram colour = still(0x38);
    colour.channelMode = 0x00;
    colour.lampOff[0] = 1990;  // all three lamps lit
    colour.lampOff[1] = 1990;
    const auto line = words(firstLine(rig, colour, 1680 * 6 + 2));
    EXPECT_EQ(line.size(), 1680u * 3);
    ASSERT_TRUE(Program(rig.io(), colour) && rig.io().writeRegister(0x07, 0x03));
    rig.clock->sleep(100);
    EXPECT_NEAR(static_cast<double>(rig.scanner->observations().scans.back().lines.size()), 100'000 / (3 * 2016.0), 1.5);
}

TEST(Pipeline, LineRateColourCyclesRedGreenBlueLinesEachLitByItsOwnLamp) {
    VirtualRig rig = MakeRig(noiselessStill());
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && rig.io().writeWord(0x4A, 100) && rig.io().writeRegister(0x07, 5));
    rig.clock->sleep(200);
    ScanProgram colour = still(0x38);
    colour.channelMode = 0x01;
    colour.lampOff[0] = 10;  // only green and blue lamps lit
    colour.lampOff[1] = 1990;
    ASSERT_TRUE(Program(rig.io(), colour) && rig.io().writeRegister(0x07, 0x03));
    const auto lines = SplitLines(ReadImage(rig.io(), 6 * (1680 * 2 + 2)), 1680 * 2 + 2);
    ASSERT_EQ(lines.size(), 6u);
    auto average = [](const std::vector<uint8_t>& l) {
        double s = 0;
        for (std::size_t j = 400; j < 1400; ++j) s += l[2 * j] << 8 | l[2 * j + 1];
        return s / 1000;
    };
    for (int k = 0; k < 6; ++k) {
        if (k % 3 == 0) {
            EXPECT_LT(average(lines[k]), 4000) << "red line, red lamp dark";
        } else {
            EXPECT_GT(average(lines[k]), 20000) << "lit line " << k;
        }
    }
}

}  // namespace
}  // namespace ordavel::test
