// Request arithmetic of the enlarging read path.
#include "driver/interface/read_request.h"

#include <gtest/gtest.h>

namespace ordavel::interface {
namespace {

struct LineCase {
    int32_t pixelType;
    int32_t imageWidth;
    int32_t expected;
};

class DeliveredLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(DeliveredLine, RoundsToMultipleOfFour) {
    EXPECT_EQ(DeliveredLineBytes(GetParam().pixelType, GetParam().imageWidth), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, DeliveredLine,
    ::testing::Values(LineCase{1, 2130, 2132}, LineCase{1, 1650, 1652}, LineCase{1, 2132, 2132},
                      LineCase{1, 1, 4}, LineCase{0, 1650, 208}, LineCase{0, 2130, 268}, LineCase{0, 256, 32},
                      LineCase{0, 257, 36}, LineCase{0, 1, 4}, LineCase{1, 0, 0}, LineCase{0, 0, 0},
                      LineCase{1, -8, 0}, LineCase{2, 2130, 0}, LineCase{-1, 100, 0},
                      LineCase{1, INT32_MAX, 0}, LineCase{0, INT32_MAX, 268435456}));

struct PlanCase {
    const char* name;
    int32_t size;
    int32_t outLine;
    int32_t imageHeight;
    int32_t linesDelivered;
    int32_t sourceLines;
    bool last;
};

class Plan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(Plan, SourceLinesAndLastFlag) {
    const auto& c = GetParam();
    const SourceRequest r = PlanSourceLines(c.size, c.outLine, c.imageHeight, c.linesDelivered);
    EXPECT_EQ(r.sourceLines, c.sourceLines);
    EXPECT_EQ(r.last, c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, Plan,
    ::testing::Values(
        // fit 30, src trunc(120/9) = 13, made even: 12.
        PlanCase{"GreyWideFirstRead", 65536, 2132, 2838, 0, 12, false},
        // fit 39, src 17 -> 16.
        PlanCase{"GreyNarrowFirstRead", 65536, 1652, 2838, 0, 16, false},
        // need = ceil(12 x 2/3) = 8 <= 12: the rest in one request.
        PlanCase{"FewLinesLeftAreLast", 65536, 2132, 2838, 2826, 8, true},
        PlanCase{"NeedEqualsSrc", 65536, 2132, 2838, 2820, 12, true},
        // need = ceil(2/3) = 1, 2 x 1 / 3 = 0: one source line, last.
        PlanCase{"OneSourceLineLeft", 65536, 2132, 2838, 2837, 1, true},
        PlanCase{"HeightReached", 65536, 2132, 2838, 2838, 1, true},
        PlanCase{"PastHeight", 65536, 2132, 2838, 3000, 1, true},
        PlanCase{"NegativeHeight", 65536, 2132, -50, 0, 1, true},
        // need 2: 2 x 2 / 3 = 1, need <= src.
        PlanCase{"TwoSourceLinesLeft", 65536, 2132, 3, 0, 2, true},
        PlanCase{"BufferForOneLine", 2132, 2132, 2838, 0, 0, false},
        PlanCase{"BufferTooSmallForALine", 100, 2132, 2838, 0, 0, false},
        PlanCase{"ZeroSize", 0, 2132, 2838, 0, 0, false},
        PlanCase{"OddSrcLosesOne", 25 * 208, 208, 2838, 0, 10, false},
        PlanCase{"LargeBuffer", INT32_MAX, 4, INT32_MAX, 0, 238609292, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Plan, WholeImageIsRequestedExactlyOnce) {
    // Grey 2130 x 2838 in 65,536-byte reads: 12 source lines a read (18 delivered) until fewer
    // than 13 delivered lines remain.
    int32_t delivered = 0, reads = 0, source = 0;
    for (;;) {
        const auto r = PlanSourceLines(65536, 2132, 2838, delivered);
        ++reads;
        source += r.sourceLines;
        if (r.last) break;
        delivered += r.sourceLines * 3 / 2;
    }
    EXPECT_EQ(reads, 158);
    EXPECT_EQ(delivered, 2826);
    EXPECT_EQ(source, 1892);
}

}  // namespace
}  // namespace ordavel::interface
