// Request arithmetic of the enlarging read path.
#include "driver/interface/read_request.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    int32_t sourceLineBytes;
    int32_t imageHeight;
    int32_t linesDelivered;
    int32_t sourceLines;
    bool last;
    bool tooSmall = false;
};

class Plan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(Plan, SourceLinesAndLastFlag) {
    const auto& c = GetParam();
    const SourceRequest r = PlanSourceLines(c.size, c.outLine, c.sourceLineBytes, c.imageHeight, c.linesDelivered);
    EXPECT_EQ(r.sourceLines, c.sourceLines);
    EXPECT_EQ(r.last, c.last);
    EXPECT_EQ(r.tooSmall, c.tooSmall);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, Plan,
    ::testing::Values(
        // fit 30, src trunc(120/9) = 13, made even: 12.
        PlanCase{"GreyWideFirstRead", 65536, 2132, 1420, 2838, 0, 12, false},
        // fit 39, src 17 -> 16.
        PlanCase{"GreyNarrowFirstRead", 65536, 1652, 1100, 2838, 0, 16, false},
        // need = ceil(12 x 2/3) = 8 <= 12: the rest in one request.
        PlanCase{"FewLinesLeftAreLast", 65536, 2132, 1420, 2838, 2826, 8, true},
        PlanCase{"NeedEqualsSrc", 65536, 2132, 1420, 2838, 2820, 12, true},
        // need = ceil(2/3) = 1, 2 x 1 / 3 = 0: one source line, last.
        PlanCase{"OneSourceLineLeft", 65536, 2132, 1420, 2838, 2837, 1, true},
        PlanCase{"HeightReached", 65536, 2132, 1420, 2838, 2838, 1, true},
        PlanCase{"PastHeight", 65536, 2132, 1420, 2838, 3000, 1, true},
        PlanCase{"NegativeHeight", 65536, 2132, 1420, -50, 0, 1, true},
        // need 2: 2 x 2 / 3 = 1, need <= src.
        PlanCase{"TwoSourceLinesLeft", 65536, 2132, 1420, 3, 0, 2, true},
        PlanCase{"BufferForOneLine", 2132, 2132, 1420, 2838, 0, 0, false, true},
        PlanCase{"BufferTooSmallForALine", 100, 2132, 1420, 2838, 0, 0, false, true},
        PlanCase{"ZeroSize", 0, 2132, 1420, 2838, 0, 0, false, true},
        // Three or four delivered lines of room take two source lines (exactly three lines).
        PlanCase{"RoomForThreeLines", 3 * 1652, 1652, 1100, 2838, 0, 2, false},
        PlanCase{"RoomForFourLinesNearTheEnd", 4 * 1652, 1652, 1100, 2838, 2835, 2, true},
        PlanCase{"OddSrcLosesOne", 25 * 208, 208, 138, 2838, 0, 10, false},
        PlanCase{"LargeBuffer", INT32_MAX, 4, 4, INT32_MAX, 0, 238609292, false},
        // Two delivered lines left in room for two: two source lines, cut to the height.
        PlanCase{"HeightTwoAboveAMultipleOfThreeEndsInRoomForTwo", 2 * 1652, 1652, 1100, 500, 498, 2, true},
        PlanCase{"RoomForTwoOfMoreLinesLeftIsTooSmall", 2 * 1652, 1652, 1100, 500, 497, 0, false, true},
        // One delivered line left and less room than one line: nothing may be written.
        PlanCase{"OneLineLeftInLessThanALine", 1200, 1652, 1100, 2838, 2837, 1, true, true},
        PlanCase{"OneLineLeftWhoseSourceLineDoesNotFit", 1652, 1652, 2000, 2838, 2837, 1, true, true},
        // Source lines longer than delivered ones: no more than the buffer stores (39 -> 38).
        PlanCase{"SourceLinesLongerThanDeliveredOnes", 65536, 300, 1680, 2838, 0, 38, false},
        PlanCase{"LastSourceLinesMustFitAsStored", 4000, 300, 1680, 2838, 2832, 2, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Plan, AskingForWhatIsLeftAlwaysFinishes) {
    // A client that asks for at most 65,536 bytes of what is left of its buffer: every read
    // must either take source lines or end the image, never stall on an empty request nor find
    // its destination too small, whatever the height.
    for (const int32_t outLine : {1652, 2132, 208, 268}) {
        for (const int32_t height : {1, 2, 3, 499, 500, 501, 2836, 2837, 2838}) {
            const int64_t imageBytes = int64_t{outLine} * height;
            int32_t delivered = 0;
            for (int reads = 0;; ++reads) {
                ASSERT_LT(reads, 10000) << "stalled at line " << delivered << " of width " << outLine;
                const auto left =
                    static_cast<int32_t>(std::min<int64_t>(65536, imageBytes - int64_t{delivered} * outLine));
                const auto r = PlanSourceLines(left, outLine, outLine * 2 / 3, height, delivered);
                ASSERT_FALSE(r.tooSmall) << "line " << delivered << " of " << height << ", width " << outLine;
                if (r.last) break;
                ASSERT_GT(r.sourceLines, 0);
                delivered += r.sourceLines * 3 / 2;
            }
        }
    }
}

TEST(Plan, WholeImageIsRequestedExactlyOnce) {
    // Grey 2130 x 2838 in 65,536-byte reads: 12 source lines a read (18 delivered) until fewer
    // than 13 delivered lines remain.
    int32_t delivered = 0, reads = 0, source = 0;
    for (;;) {
        const auto r = PlanSourceLines(65536, 2132, 1420, 2838, delivered);
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
