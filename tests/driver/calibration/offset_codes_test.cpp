// Offset code encoding, gain codes, the minimum gain code and the saturating truncation.
#include "driver/calibration/offset_codes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ordavel::calibration {
namespace {

struct OffsetCase {
    int32_t value;
    int32_t code;
};

class OffsetCodeTest : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(OffsetCodeTest, EncodesAndDecodesSignMagnitude) {
    EXPECT_EQ(EncodeOffset(GetParam().value), GetParam().code);
    EXPECT_EQ(DecodeOffset(GetParam().code), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Values, OffsetCodeTest,
                         ::testing::Values(OffsetCase{0, 0}, OffsetCase{1, 1}, OffsetCase{31, 31},
                                           OffsetCase{-1, 0x21}, OffsetCase{-5, 37}, OffsetCase{-31, 0x3F}));

TEST(OffsetCodes, EveryRepresentableValueRoundTrips) {
    for (int32_t v = -31; v <= 31; ++v) {
        int32_t code = EncodeOffset(v);
        EXPECT_GE(code, 0);
        EXPECT_LE(code, 0x3F);
        EXPECT_EQ(DecodeOffset(code), v);
    }
}

TEST(OffsetCodes, OutOfRangeValuesClampInsteadOfFlippingSign) {
    EXPECT_EQ(DecodeOffset(EncodeOffset(40)), 31);
    EXPECT_EQ(DecodeOffset(EncodeOffset(-40)), -31);
    EXPECT_EQ(DecodeOffset(0x20), 0);  // "minus zero"
}

struct GainCase {
    double minimumStaticGain;
    int32_t code;
};

class MinimumGainCodeTest : public ::testing::TestWithParam<GainCase> {};

TEST_P(MinimumGainCodeTest, TruncatesTowardZeroWithoutClamping) {
    EXPECT_EQ(MinimumGainCode(GetParam().minimumStaticGain), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Values, MinimumGainCodeTest,
                         ::testing::Values(GainCase{1.0, 0}, GainCase{2.0, 15}, GainCase{10.0, 135},
                                           GainCase{0.933, 0}, GainCase{0.5, -6}));

TEST(TruncToInt, TruncatesAndSaturates) {
    EXPECT_EQ(TruncToInt(2.9), 2);
    EXPECT_EQ(TruncToInt(-2.9), -2);
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
    EXPECT_EQ(TruncToInt(INFINITY), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TruncToInt(-1e300), std::numeric_limits<int32_t>::min());
}

}  // namespace
}  // namespace ordavel::calibration
