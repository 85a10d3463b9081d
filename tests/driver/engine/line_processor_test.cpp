// The line processor on a handful of pixels: realignment, interpolation weights, depths,
// decimation, thresholding, order and the ring's readiness.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "tests/driver/engine/line_processor_harness.h"

namespace ordavel::engine::test {
namespace {

std::vector<uint8_t> Filled(std::size_t bytes, uint8_t value) { return std::vector<uint8_t>(bytes, value); }

// Three-channel lines whose samples name the line: red n*10, green n*10+1, blue n*10+2.
std::vector<uint8_t> NamedColourLine(int32_t n, int32_t pixels) {
    std::vector<uint8_t> line;
    for (int32_t i = 0; i < pixels; ++i) {
        for (int32_t c = 0; c < 3; ++c) line.push_back(static_cast<uint8_t>(n * 10 + c));
    }
    return line;
}

LineGeometry ColourGeometry(int32_t pixels, int32_t lines) {
    LineGeometry g = GreyGeometry(pixels, lines);
    g.channelMode = 0;
    g.inputBytesPerLine = 3 * pixels;
    return g;
}

TEST(LineProcessor, EqualResolutionsCopyEachLineAfterTheNextArrives) {
    LineProcessorHarness h(GreyGeometry(5, 3));
    ASSERT_TRUE(h.started());
    EXPECT_EQ(h.geometry().outputBytesPerLine, 8);
    EXPECT_EQ(h.geometry().inputLinesNeeded, 4);
    EXPECT_TRUE(h.Feed(Filled(5, 10)).empty());  // line 1 waits for line 2
    auto rows = h.Feed({20, 21, 22, 23, 24});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(rows[0].begin(), rows[0].begin() + 5), Filled(5, 10));
    rows = h.Feed(Filled(5, 30));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(rows[0].begin(), rows[0].begin() + 5),
              (std::vector<uint8_t>{20, 21, 22, 23, 24}));
}

TEST(LineProcessor, OffsetsOfTwoLinesTakeRedTwoAboveAndBlueTwoBelowGreen) {
    LineGeometry g = ColourGeometry(2, 4);
    g.redOffset = -2.0;
    g.blueOffset = 2.0;
    LineProcessorHarness h(g);
    EXPECT_EQ(h.geometry().inputLinesNeeded, 4 + 4 + 1);
    for (int32_t n = 1; n <= 5; ++n) EXPECT_TRUE(h.Feed(NamedColourLine(n, 2)).empty()) << n;
    auto rows = h.Feed(NamedColourLine(6, 2));  // the line after blue's line 5
    ASSERT_EQ(rows.size(), 1u);
    // Green reads line 3: red line 1, blue line 5.
    EXPECT_EQ(rows[0][0], 10);
    EXPECT_EQ(rows[0][1], 31);
    EXPECT_EQ(rows[0][2], 52);
    rows = h.Feed(NamedColourLine(7, 2));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][3], 20);
    EXPECT_EQ(rows[0][4], 41);
    EXPECT_EQ(rows[0][5], 62);
}

TEST(LineProcessor, HalfLineOffsetWeighsBothLinesEquallyAndTruncatesEachTerm) {
    LineGeometry g = ColourGeometry(1, 1);
    g.redOffset = 0.5;
    LineProcessorHarness h(g);
    EXPECT_TRUE(h.Feed({101, 7, 9}).empty());
    auto rows = h.Feed({201, 8, 10});  // red at 1.5 reads lines 1 and 2
    ASSERT_EQ(rows.size(), 1u);
    // Each term divided on its own: 32768 x 101 / 65536 + 32768 x 201 / 65536 = 50 + 100.
    EXPECT_EQ(rows[0][0], 150);
    EXPECT_EQ(rows[0][1], 7);
    EXPECT_EQ(rows[0][2], 9);
}

struct DepthCase {
    int32_t bits;
    std::vector<uint8_t> input;     // one input line
    int32_t pixels;
    std::vector<uint8_t> expected;  // the output row's data bytes
};

class NarrowDepths : public ::testing::TestWithParam<DepthCase> {};

TEST_P(NarrowDepths, ExpandToEightBits) {
    const DepthCase& c = GetParam();
    LineGeometry g = GreyGeometry(c.pixels, 1);
    g.bits = c.bits;
    g.inputBytesPerLine = static_cast<int32_t>(c.input.size());
    LineProcessorHarness h(g);
    h.Feed(c.input);
    auto rows = h.Feed(c.input);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(rows[0].begin(), rows[0].begin() + c.pixels), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    LineProcessor, NarrowDepths,
    ::testing::Values(DepthCase{2, {0b00011011}, 4, {0, 85, 170, 255}},
                      DepthCase{4, {0x0F, 0x5A}, 4, {0, 255, 85, 170}},
                      DepthCase{4, {0x37}, 2, {51, 119}}));

TEST(LineProcessor, SixteenBitSamplesComeInBigEndianAndGoOutLittleEndian) {
    LineGeometry g = GreyGeometry(2, 1);
    g.bits = 16;
    g.bytesPerSample = 2;
    g.inputBytesPerLine = 4;
    LineProcessorHarness h(g);
    EXPECT_EQ(h.geometry().outputBytesPerLine, 4);
    h.Feed({0x12, 0x34, 0xAB, 0xCD});
    auto rows = h.Feed({0, 0, 0, 0});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<uint8_t>{0x34, 0x12, 0xCD, 0xAB}));
}

TEST(LineProcessor, SixteenBitHalfLineAverageDoesNotOverflow) {
    LineGeometry g = ColourGeometry(1, 1);
    g.bits = 16;
    g.bytesPerSample = 2;
    g.inputBytesPerLine = 6;
    g.redOffset = 0.5;
    LineProcessorHarness h(g);
    h.Feed({0xFF, 0xFF, 0, 0, 0, 0});
    auto rows = h.Feed({0xFF, 0xFF, 0, 0, 0, 0});
    ASSERT_EQ(rows.size(), 1u);
    // 32768 x 65535 / 65536 twice: 32767 + 32767.
    EXPECT_EQ(rows[0][0] | (rows[0][1] << 8), 65534);
}

TEST(LineProcessor, DecimatingThreeHundredToTwoHundredEmitsTwoOfEveryThree) {
    LineGeometry g = GreyGeometry(300, 1);
    g.outputPixels = 200;
    g.actualXResolution = 300;
    g.requestedXResolution = 200;
    LineProcessorHarness h(g);
    std::vector<uint8_t> line(300);
    for (int32_t i = 0; i < 300; ++i) line[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i % 251);
    h.Feed(line);
    auto rows = h.Feed(line);
    ASSERT_EQ(rows.size(), 1u);
    for (int32_t o = 0; o < 200; ++o) {
        const int32_t source = o / 2 * 3 + o % 2;  // 0, 1, 3, 4, 6, 7, ...
        ASSERT_EQ(rows[0][static_cast<std::size_t>(o)], source % 251) << "output pixel " << o;
    }
}

TEST(LineProcessor, DecimatingBlackAndWhiteMovesBitsMostSignificantFirst) {
    LineGeometry g = GreyGeometry(24, 1);
    g.bits = 1;
    g.inputBytesPerLine = 3;
    g.outputPixels = 16;
    g.actualXResolution = 300;
    g.requestedXResolution = 200;
    LineProcessorHarness h(g);
    // Input pixels 0, 2, 3 and 22 white: 2 is dropped, 0 -> 0, 3 -> 2 and 22 -> 15 (7 x 3 + 1).
    const std::vector<uint8_t> line{0b10110000, 0, 0b00000010};
    h.Feed(line);
    auto rows = h.Feed(line);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], 0xA0);
    EXPECT_EQ(rows[0][1], 0x01);
}

TEST(LineProcessor, PackedLineOfPartialLastByteReadsMostSignificantFirst) {
    // 12 pixels: the last byte holds 4; earlier content of the work line must not leak in.
    LineGeometry g = GreyGeometry(12, 2);
    g.bits = 1;
    g.inputBytesPerLine = 2;
    LineProcessorHarness h(g);
    h.Feed({0xFF, 0xF0});
    auto rows = h.Feed({0x00, 0xA0});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], 0xFF);
    EXPECT_EQ(rows[0][1], 0xF0);
    rows = h.Feed({0, 0});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], 0x00);
    EXPECT_EQ(rows[0][1], 0xA0);
}

TEST(LineProcessor, InterpolatedPackedLineOfPartialLastByteReadsMostSignificantFirst) {
    LineGeometry g = GreyGeometry(12, 2);
    g.bits = 1;
    g.inputBytesPerLine = 2;
    g.requestedYResolution = 400;  // the second row lies between two lines
    LineProcessorHarness h(g);
    h.Feed({0xFF, 0xF0});
    auto rows = h.Feed({0xFF, 0xA0});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], 0xFF);
    EXPECT_EQ(rows[1][1], 0xF0);  // halfway to 1010 still passes the threshold everywhere
}

// Black-and-white output thresholds the interpolated grey value at 127 (inclusive): half of
// white is 127.5, which passes; anything below 127 does not.
TEST(LineProcessor, VerticalHalfOfWhiteThresholdsToWhite) {
    LineGeometry g = GreyGeometry(8, 4);
    g.bits = 1;
    g.inputBytesPerLine = 1;
    g.requestedYResolution = 400;  // ys 0.5: rows at lines 1, 1.5, 2, 2.5
    LineProcessorHarness h(g);
    EXPECT_EQ(h.geometry().repeatLimit, 2);
    auto rows = h.FeedAll(h.geometry().inputLinesNeeded,
                          [](int32_t n) { return std::vector<uint8_t>{n == 1 ? uint8_t{0xF0} : uint8_t{0x00}}; });
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0], 0xF0);  // line 1
    EXPECT_EQ(rows[1][0], 0xF0);  // halfway between line 1 and line 2
    EXPECT_EQ(rows[2][0], 0x00);  // line 2
}

TEST(LineProcessor, HorizontalHalfOfWhiteThresholdsToWhite) {
    LineGeometry g = GreyGeometry(4, 1);
    g.bits = 1;
    g.inputBytesPerLine = 1;
    g.outputPixels = 8;
    g.requestedXResolution = 400;  // xs 0.5
    LineProcessorHarness h(g);
    const std::vector<uint8_t> line{0b10100000};  // pixels 0 and 2 white
    h.Feed(line);
    auto rows = h.Feed(line);
    ASSERT_EQ(rows.size(), 1u);
    // Output i reads pixels i/2 and i/2+1: 0 white, 1 half, 2 black, 3 half, 4 white, 5 half,
    // 6 black, 7 black (the last pixel repeats itself).
    EXPECT_EQ(rows[0][0], 0b11011100);
}

TEST(LineProcessor, HorizontalInterpolationOfGrey) {
    LineGeometry g = GreyGeometry(2, 1);
    g.outputPixels = 3;
    g.actualXResolution = 200;
    g.requestedXResolution = 300;
    LineProcessorHarness h(g);
    const std::vector<uint8_t> line{0, 200};
    h.Feed(line);
    auto rows = h.Feed(line);
    ASSERT_EQ(rows.size(), 1u);
    // t = 0, 2/3, 4/3 -> pixel 0; 1/3 of 0 and 2/3 of 200; pixel 1 beside itself.
    EXPECT_EQ(rows[0][0], 0);
    EXPECT_EQ(rows[0][1], 133);
    EXPECT_EQ(rows[0][2], 200);
}

TEST(LineProcessor, ForcedInterpolationAtEqualResolutionsMatchesTheVerticalPath) {
    // With an even/odd offset the pair is chosen by the parity of the source pixel either way.
    for (int32_t interpolate : {0, 1}) {
        LineGeometry g = GreyGeometry(4, 2);
        g.evenOddOffset = 0.5;
        g.interpolate = interpolate;
        LineProcessorHarness h(g);
        auto rows = h.FeedAll(h.geometry().inputLinesNeeded, [](int32_t n) {
            return std::vector<uint8_t>{static_cast<uint8_t>(n * 40), static_cast<uint8_t>(n * 40),
                                        static_cast<uint8_t>(n * 40), static_cast<uint8_t>(n * 40)};
        });
        ASSERT_EQ(rows.size(), 2u);
        // Row 0: even pixels line 1 (40), odd pixels halfway to line 2 (20 + 40).
        EXPECT_EQ(std::vector<uint8_t>(rows[0].begin(), rows[0].begin() + 4),
                  (std::vector<uint8_t>{40, 60, 40, 60}))
            << "interpolate " << interpolate;
    }
}

TEST(LineProcessor, BottomUpLinesOfOneCallComeNewestFirstWithRedAndBlueSwapped) {
    LineGeometry g = ColourGeometry(1, 4);
    g.topDown = 0;
    g.requestedYResolution = 400;  // two rows per input line
    LineProcessorHarness h(g);
    EXPECT_EQ(h.geometry().repeatLimit, 2);
    h.Feed({1, 2, 3});
    auto rows = h.Feed({5, 6, 7});
    ASSERT_EQ(rows.size(), 2u);
    // Rows at line 1 and line 1.5 (each term truncated: 0 + 2, 1 + 3, 1 + 3); newest first, blue first.
    EXPECT_EQ(std::vector<uint8_t>(rows[0].begin(), rows[0].begin() + 3), (std::vector<uint8_t>{4, 4, 2}));
    EXPECT_EQ(std::vector<uint8_t>(rows[1].begin(), rows[1].begin() + 3), (std::vector<uint8_t>{3, 2, 1}));
    EXPECT_EQ(h.geometry().nextLineOffset, h.geometry().headerSize + 2 * h.geometry().outputBytesPerLine);
}

struct RingCase {
    const char* name;
    double red, green, blue, evenOdd;
    int32_t actualY, requestedY;
    int32_t outputLines;
};

class RingReadiness : public ::testing::TestWithParam<RingCase> {};

// Feeding exactly the input lines the start asked for yields every output line: the ring holds
// every line a row reads, whatever the offsets and vertical step.
TEST_P(RingReadiness, NeededInputLinesYieldEveryOutputLine) {
    const RingCase& c = GetParam();
    LineGeometry g = ColourGeometry(3, c.outputLines);
    g.redOffset = c.red;
    g.greenOffset = c.green;
    g.blueOffset = c.blue;
    g.evenOddOffset = c.evenOdd;
    g.actualYResolution = c.actualY;
    g.requestedYResolution = c.requestedY;
    LineProcessorHarness h(g);
    const int32_t needed = h.geometry().inputLinesNeeded;
    h.FeedAll(needed, [](int32_t n) { return NamedColourLine(n % 20, 3); });
    EXPECT_EQ(h.geometry().linesProduced, c.outputLines);
    EXPECT_TRUE(h.state().ring.empty());  // freed with the last output line
}

INSTANTIATE_TEST_SUITE_P(
    LineProcessor, RingReadiness,
    ::testing::Values(RingCase{"plain", 0, 0, 0, 0, 200, 200, 7},
                      RingCase{"colourOffsets", -2, 0, 2, 0, 200, 200, 7},
                      RingCase{"thirds", -1.6667, 0, 1.6667, 0, 200, 200, 9},
                      RingCase{"evenOdd", 0, 0, 0, 1.5, 200, 200, 5},
                      RingCase{"reduce", -1, 0, 1, 0, 300, 200, 8},
                      RingCase{"enlarge", -0.5, 0, 0.5, 0.25, 200, 300, 11},
                      RingCase{"double", 0, 0, 0, 0, 150, 300, 6}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(LineProcessor, StartWritesBitmapHeadersOfTheOutput) {
    struct Case {
        int32_t bits, channelMode, topDown;
        uint16_t bitCount;
        uint32_t dataOffset, ppm;
    };
    for (const Case& c : {Case{1, 4, 0, 1, 62, 7874}, Case{8, 4, 1, 8, 54, 200}, Case{8, 0, 0, 24, 54, 7874},
                          Case{16, 0, 1, 48, 54, 200}, Case{16, 4, 1, 16, 54, 200}}) {
        LineGeometry g = GreyGeometry(10, 3);
        g.bits = c.bits;
        g.bytesPerSample = c.bits == 16 ? 2 : 1;
        g.channelMode = c.channelMode;
        g.topDown = c.topDown;
        g.inputBytesPerLine = 60;
        LineProcessorHarness h(g);
        const auto& hd = h.headers();
        ASSERT_EQ(hd.size(), c.dataOffset);
        auto u16 = [&](std::size_t at) { return static_cast<uint32_t>(hd[at] | hd[at + 1] << 8); };
        auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
        EXPECT_EQ(hd[0], 'B');
        EXPECT_EQ(hd[1], 'M');
        EXPECT_EQ(u32(10), c.dataOffset);
        EXPECT_EQ(u32(18), 10u);
        EXPECT_EQ(u32(22), 3u);
        EXPECT_EQ(u16(28), c.bitCount);
        const uint32_t row = (c.bitCount * 10u + 31) / 32 * 4;
        EXPECT_EQ(u32(34), row * 3);
        EXPECT_EQ(u32(2), row * 3 + c.dataOffset);
        EXPECT_EQ(static_cast<int32_t>(row), h.geometry().outputBytesPerLine);
        EXPECT_EQ(u32(38), c.ppm);
        EXPECT_EQ(u32(42), c.ppm);
        if (c.bitCount == 1) {
            EXPECT_EQ((std::vector<uint8_t>(hd.begin() + 54, hd.end())),
                      (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
        }
    }
}

TEST(LineProcessor, CleanUpFreesAndReportsFalse) {
    LineGeometry g = GreyGeometry(4, 2);
    LineProcessorState s;
    std::vector<uint8_t> scratch(kBitmapHeaderCapacity);
    g.outputBuffer = scratch.data();
    ASSERT_TRUE(ProcessLines(g, s, LineProcessorMode::Process));
    EXPECT_FALSE(s.ring.empty());
    EXPECT_FALSE(ProcessLines(g, s, LineProcessorMode::CleanUp));
    EXPECT_TRUE(s.ring.empty());
    EXPECT_TRUE(s.workLine.empty());
}

TEST(LineProcessor, ShortInputLineIsReadAsBlackNeverBeyondItsEnd) {
    // A geometry that promises more pixels than the line holds reads zeros for the missing ones.
    LineGeometry g = GreyGeometry(8, 1);
    g.inputBytesPerLine = 4;
    LineProcessorHarness h(g);
    h.Feed({9, 9, 9, 9});
    auto rows = h.Feed({9, 9, 9, 9});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<uint8_t>{9, 9, 9, 9, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace ordavel::engine::test
