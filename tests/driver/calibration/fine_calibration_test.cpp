// Fine calibration's strip height and lines per read request.
#include "driver/calibration/fine_calibration.h"

#include <gtest/gtest.h>

namespace ordavel::calibration {
namespace {

struct LooplinesCase {
    int32_t stripHeight, stepSize, linePeriod, looplines;
};

class LooplinesTest : public ::testing::TestWithParam<LooplinesCase> {};

TEST_P(LooplinesTest, IsTheStripInLinesWithAMinimumOfFour) {
    const auto& p = GetParam();
    EXPECT_EQ(ComputeLooplines(p.stripHeight, p.stepSize, p.linePeriod), p.looplines);
}

INSTANTIATE_TEST_SUITE_P(Table, LooplinesTest,
                         ::testing::Values(LooplinesCase{32, 503, 2016, 31},    // the reference strip
                                           LooplinesCase{32, 503, 6048, 10},    // line-rate colour
                                           LooplinesCase{4, 503, 2016, 4},      // 3.99 lines: exactly 4
                                           LooplinesCase{3, 503, 2016, 4},      // below 4: raised
                                           LooplinesCase{0, 503, 2016, 4},
                                           LooplinesCase{32, 503, 0, 4},        // no line period
                                           LooplinesCase{1000000, 0xFFFF, 1, 2147483647}));

struct RequestCase {
    bool lm9831;
    int32_t bufferBytes, bytesPerLine, phases, looplines, lines;
};

class LinesPerRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(LinesPerRequestTest, FollowsTheChip) {
    const auto& p = GetParam();
    EXPECT_EQ(LinesPerReadRequest(p.lm9831, p.bufferBytes, p.bytesPerLine, p.phases, p.looplines), p.lines);
}

INSTANTIATE_TEST_SUITE_P(Table, LinesPerRequestTest,
                         ::testing::Values(RequestCase{false, 280576, 3362, 1, 31, 31},  // whole strip
                                           RequestCase{true, 280576, 3362, 1, 31, 84},   // 83.5 rounded up
                                           RequestCase{true, 280576, 3362, 3, 31, 28},
                                           RequestCase{true, 6724, 3362, 1, 31, 2},
                                           RequestCase{true, 0, 3362, 1, 31, 1},         // never none
                                           RequestCase{true, 4096, 0, 1, 31, 4096}));   // no geometry yet

}  // namespace
}  // namespace ordavel::calibration
