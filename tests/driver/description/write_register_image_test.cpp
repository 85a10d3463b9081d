// Sending a register image: the runs it is split into, the clock check, and the registers the
// write always fixes.
#include <gtest/gtest.h>

#include "driver/description/register_programming.h"
#include "driver/description/register_runs.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::TestContext;

std::vector<std::pair<int, int>> RunBounds(const std::vector<RegisterRun>& runs) {
    std::vector<std::pair<int, int>> bounds;
    for (const RegisterRun& run : runs) {
        bounds.emplace_back(run.first, run.first + static_cast<int>(run.values.size()) - 1);
    }
    return bounds;
}

TEST(RegisterRuns, UnwrittenEntriesSplitAndOnlyLowByteIsSent) {
    RegisterImage image;
    image.markUnwritten(10);
    image.markUnwritten(11);
    image.markUnwritten(0x7F);
    image[12] = 0x1AB;
    const auto runs = SplitIntoRuns(image, 3);
    const std::vector<std::pair<int, int>> expected = {{3, 9}, {12, 0x7E}};
    EXPECT_EQ(RunBounds(runs), expected);
    EXPECT_EQ(runs[1].values[0], 0xAB);

    RegisterImage allUnwritten;
    for (int reg = 0; reg < kRegisterCount; ++reg) allUnwritten.markUnwritten(reg);
    EXPECT_TRUE(SplitIntoRuns(allUnwritten, 3).empty());
    allUnwritten[0x7F] = 5;
    EXPECT_EQ(RunBounds(SplitIntoRuns(allUnwritten, 3)), (std::vector<std::pair<int, int>>{{0x7F, 0x7F}}));
}

TEST(WriteRegisterImage, RefusesSlowClockCombinationsBeforeSendingAnything) {
    struct Case {
        int clock, pixelRate;
        bool valid;
    };
    for (Case c : {Case{10, 0, true}, Case{6, 0, true}, Case{5, 0, false}, Case{0, 0, false},
                   Case{3, 2, true}, Case{2, 2, false}}) {
        TestContext scratch("clock");
        RegisterImage image;
        image[0x08] = c.clock;
        image[0x19] = c.pixelRate;
        image[0x28] = 7;
        EXPECT_FALSE(WriteRegisterImage(scratch.ctx(), image));  // no device is open
        EXPECT_EQ(scratch.reported("Invalid clock/hpdi combination"), !c.valid) << c.clock << "x" << c.pixelRate;
        // Nothing is touched when the combination is refused.
        EXPECT_EQ(image[0x28], c.valid ? 0 : 7);
    }
}

TEST(WriteRegisterImage, FixesReservedRegistersInTheCallersImage) {
    TestContext scratch("reserved");
    RegisterImage image;
    image[0x08] = 10;
    image[0x28] = 9;
    for (int reg = 0x5F; reg < kRegisterCount; ++reg) image[reg] = 0x55;
    image[0x5E] = 0x30;
    WriteRegisterImage(scratch.ctx(), image);
    EXPECT_EQ(image[0x28], 0);
    EXPECT_EQ(image[0x5E], 0x30);
    for (int reg = 0x5F; reg < kRegisterCount; ++reg) EXPECT_EQ(image[reg], reg == 0x69 ? 4 : 0) << std::hex << reg;
}

}  // namespace
}  // namespace ordavel::description
