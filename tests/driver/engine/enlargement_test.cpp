// The 3/2 enlargement: widening patterns, line doubling, the target height and the kept line.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

#include "driver/engine/enlargement.h"
#include "tests/support/param_names.h"

namespace ordavel::engine {
namespace {

EnlargementRequest Grey(int32_t window, int32_t inputLineBytes, int32_t height) {
    return EnlargementRequest{1, inputLineBytes, window * 3 / 2, height, window};
}

EnlargementRequest BlackWhite(int32_t window, int32_t inputLineBytes, int32_t height) {
    return EnlargementRequest{0, inputLineBytes, window * 3 / 2, height, window};
}

// Runs one call on `lines` (each inputLineBytes long) in a buffer big enough for the result.
std::vector<std::vector<uint8_t>> Enlarge(const std::vector<std::vector<uint8_t>>& lines,
                                          const EnlargementRequest& r, EnlargementCarry& carry,
                                          bool last) {
    const int32_t f = r.pixelType == 1 ? (r.targetWidth + 3) / 4 * 4 : ((r.targetWidth + 7) / 8 + 3) / 4 * 4;
    std::vector<uint8_t> buffer(static_cast<std::size_t>(f) * (2 * lines.size() + 2) + 64, 0xEE);
    int32_t bytes = 0;
    for (const auto& line : lines) {
        std::copy(line.begin(), line.end(), buffer.begin() + bytes);
        bytes += static_cast<int32_t>(line.size());
    }
    EXPECT_EQ(EnlargeThreeHalves(buffer, bytes, last, r, carry), EnlargeResult::Enlarged);
    std::vector<std::vector<uint8_t>> out;
    for (int32_t at = 0; at + f <= bytes; at += f) out.emplace_back(buffer.begin() + at, buffer.begin() + at + f);
    EXPECT_EQ(bytes % f, 0);
    return out;
}

TEST(Enlargement, TwoGreyPixelsBecomeThreeAndTwoLinesThree) {
    EnlargementCarry carry;
    // Window of 2 pixels in a 4-byte row; target 3 pixels in a 4-byte row.
    auto out = Enlarge({{10, 20, 0, 0}, {30, 40, 0, 0}}, Grey(2, 4, 100), carry, false);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], (std::vector<uint8_t>{10, 10, 20, 0}));
    EXPECT_EQ(out[1], (std::vector<uint8_t>{10, 10, 20, 0}));
    EXPECT_EQ(out[2], (std::vector<uint8_t>{30, 30, 40, 0}));
    EXPECT_EQ(carry.enlargedLines, 3);
    EXPECT_FALSE(carry.pending);
}

TEST(Enlargement, GreyWindowOfClientWidthFillsTheTargetWidth) {
    EnlargementCarry carry;
    std::vector<uint8_t> line(1420);
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = static_cast<uint8_t>(i % 7 + 1);
    auto out = Enlarge({line, line}, Grey(1420, 1420, 2838), carry, false);
    ASSERT_EQ(out.size(), 3u);
    ASSERT_EQ(out[0].size(), 2132u);
    for (int32_t o = 0; o < 2130; ++o) {
        const int32_t source = o / 3 * 2 + (o % 3 == 2 ? 1 : 0);
        ASSERT_EQ(out[0][static_cast<std::size_t>(o)], line[static_cast<std::size_t>(source)]) << o;
    }
    EXPECT_EQ(out[0][2130], 0);
    EXPECT_EQ(out[0][2131], 0);
}

class WideningBits : public ::testing::TestWithParam<int> {};

// Input pixel b (of 16 in two bytes) lands on output pixels b0 b0 b1 b2 b2 b3 b4 b4 | b5 b6 b6 b7
// b8 b8 b9 b10 | b10 b11 b12 b12 b13 b14 b14 b15.
TEST_P(WideningBits, OnePixelLandsWhereThePatternPutsIt) {
    const int bit = GetParam();
    static const int kPattern[24] = {0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6, 7, 8, 8, 9, 10, 10, 11, 12, 12, 13, 14, 14, 15};
    std::vector<uint8_t> line(4, 0);
    line[static_cast<std::size_t>(bit / 8)] = static_cast<uint8_t>(0x80 >> (bit % 8));
    EnlargementCarry carry;
    auto out = Enlarge({line, line}, BlackWhite(16, 4, 100), carry, false);
    ASSERT_EQ(out.size(), 3u);
    for (int o = 0; o < 24; ++o) {
        const bool set = ((out[0][static_cast<std::size_t>(o / 8)] >> (7 - o % 8)) & 1) != 0;
        EXPECT_EQ(set, kPattern[o] == bit) << "output pixel " << o;
    }
    EXPECT_EQ(out[0][3], 0);
}

INSTANTIATE_TEST_SUITE_P(Enlargement, WideningBits, ::testing::Range(0, 16), ::ordavel::test::ReadableName{"InputPixel"});

TEST(Enlargement, BlackWhiteWindowEndingInsideAByteKeepsItsLastPixels) {
    // 12 pixels: the second byte holds 4 of them. Input pixel 11 must reach output pixel 17.
    EnlargementCarry carry;
    auto out = Enlarge({{0x00, 0x10, 0, 0}, {0x00, 0x10, 0, 0}}, BlackWhite(12, 4, 100), carry, false);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], (std::vector<uint8_t>{0x00, 0x00, 0x40, 0x00}));
}

TEST(Enlargement, BlackWhiteLoneLastByteIsWidenedToo) {
    // 24 pixels in three bytes: the third byte has no partner and still widens to 12 pixels.
    EnlargementCarry carry;
    auto out = Enlarge({{0, 0, 0x80, 0}, {0, 0, 0x80, 0}}, BlackWhite(24, 4, 100), carry, false);
    ASSERT_EQ(out.size(), 3u);
    ASSERT_EQ(out[0].size(), 8u);  // 36 pixels -> 5 bytes -> 8
    EXPECT_EQ(out[0], (std::vector<uint8_t>{0, 0, 0, 0xC0, 0, 0, 0, 0}));
}

TEST(Enlargement, LastBlackWhiteLineOfAnOddCallIsNotDoubledButKept) {
    EnlargementCarry carry;
    auto out = Enlarge({{0x80, 0, 0, 0}, {0x40, 0, 0, 0}, {0x20, 0, 0, 0}}, BlackWhite(16, 4, 100), carry, false);
    ASSERT_EQ(out.size(), 4u);  // 0, 0, 1, 2
    EXPECT_TRUE(carry.pending);
    EXPECT_EQ(carry.pendingLine, out[3]);
}

TEST(Enlargement, KeptLineIsWrittenFirstByTheNextCall) {
    EnlargementCarry carry;
    const auto r = Grey(2, 4, 100);
    auto first = Enlarge({{1, 2, 0, 0}, {3, 4, 0, 0}, {5, 6, 0, 0}}, r, carry, false);
    ASSERT_EQ(first.size(), 5u);  // 1 1 3 5 5
    ASSERT_TRUE(carry.pending);
    auto second = Enlarge({{7, 8, 0, 0}, {9, 10, 0, 0}}, r, carry, false);
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second[0], first[4]);
    EXPECT_EQ(second[1], (std::vector<uint8_t>{7, 7, 8, 0}));
    EXPECT_FALSE(carry.pending);
    EXPECT_EQ(carry.enlargedLines, 9);
}

TEST(Enlargement, TargetHeightStopsTheOutputAndTheLastCallResetsTheCount) {
    EnlargementCarry carry;
    const auto r = Grey(2, 4, 4);
    auto out = Enlarge({{1, 1, 0, 0}, {2, 2, 0, 0}}, r, carry, false);
    EXPECT_EQ(out.size(), 3u);
    out = Enlarge({{3, 3, 0, 0}, {4, 4, 0, 0}}, r, carry, true);
    ASSERT_EQ(out.size(), 1u);  // only the fourth line fits the target height
    EXPECT_EQ(out[0][0], 3);
    EXPECT_EQ(carry.enlargedLines, 0);
    EXPECT_FALSE(carry.pending);
}

TEST(Enlargement, OtherPixelTypesFailWithNothingWritten) {
    EnlargementCarry carry;
    std::vector<uint8_t> buffer(64, 1);
    int32_t bytes = 16;
    EnlargementRequest r{2, 4, 3, 10, 2};
    EXPECT_EQ(EnlargeThreeHalves(buffer, bytes, false, r, carry), EnlargeResult::Unsupported);
    EXPECT_EQ(bytes, 0);
    bytes = 16;
    r = EnlargementRequest{1, 0, 3, 10, 2};  // no line length: nothing to divide by
    EXPECT_EQ(EnlargeThreeHalves(buffer, bytes, false, r, carry), EnlargeResult::Unsupported);
    EXPECT_EQ(bytes, 0);
}

TEST(Enlargement, LinesThatDoNotFitTheDestinationAreRefusedWithoutWritingPastIt) {
    // Two 4-byte grey lines enlarge to three; a 10-byte destination (inside a larger guarded
    // buffer) holds only two of them.
    std::vector<uint8_t> guarded(32, 0xEE);
    const std::vector<uint8_t> input{1, 2, 0, 0, 3, 4, 0, 0};
    std::copy(input.begin(), input.end(), guarded.begin());
    EnlargementCarry carry;
    int32_t bytes = 8;
    EXPECT_EQ(EnlargeThreeHalves(std::span<uint8_t>(guarded).first(10), bytes, false, Grey(2, 4, 100), carry),
              EnlargeResult::NoRoom);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(carry.enlargedLines, 0);
    EXPECT_FALSE(carry.pending);
    for (std::size_t i = 10; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xEE) << "byte " << i;
}

}  // namespace
}  // namespace ordavel::engine
