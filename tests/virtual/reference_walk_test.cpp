// The reference numbers checked against a feeder cycle as a driver runs it through raw frames:
// run the feed motor while polling the paper sensors every 10 ms, stop when the leading edge
// reaches sensor 1, position with 145 steps, then scan with the 15 skip steps. The sheet must
// arrive at the scan line within a poll's travel, and the 60-step gap must show between sheets.
#include <gtest/gtest.h>

#include "tests/support/virtual_rig.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

struct FeedResult {
    bool sawGap = false;       // a poll saw sensor 2 without sensor 1
    bool inPlace = false;
};

// Feeds until a poll sees both sensors after one that saw sensor 2 alone.
FeedResult feed(VirtualRig& rig) {
    FeedResult result;
    EXPECT_TRUE(rig.io().writeRegister(0x49, 0x10) && rig.io().writeRegister(0x07, 0x01));
    for (int poll = 0; poll < 600 && !result.inPlace; ++poll) {
        rig.clock->sleep(10);
        const uint8_t status = *rig.io().readRegister(0x02);
        if ((status & 0x03) == 0x03 && result.sawGap) result.inPlace = true;
        if ((status & 0x03) == 0x02) {
            rig.clock->sleep(10);
            result.sawGap = true;
        }
    }
    EXPECT_TRUE(rig.io().writeRegister(0x07, 0x00));
    EXPECT_TRUE(rig.io().writeWord(0x4A, 145) && rig.io().writeRegister(0x07, 0x05));
    rig.clock->sleep(200);
    return result;
}

TEST(ReferenceWalk, FedSheetsReachTheScanLineWithinAPollsTravelAndTheGapShows) {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.feeder.firstSheet = vs::FirstSheetPlacement::Entrance;
    config.feeder.sheets.assign(2, vs::SheetConfig{"chart"});
    VirtualRig rig = MakeRig(config);
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));

    for (int sheet = 1; sheet <= 2; ++sheet) {
        const FeedResult fed = feed(rig);
        EXPECT_TRUE(fed.inPlace) << "sheet " << sheet;
        EXPECT_TRUE(fed.sawGap) << "sheet " << sheet;
        const double overshoot = rig.sheet(sheet).lead + 15 - 260;
        EXPECT_GE(overshoot, 0) << "sheet " << sheet;
        EXPECT_LE(overshoot, 25) << "sheet " << sheet << " lands within one poll's travel";
        // Scan 10.5 inches by count, leaving the rest of the sheet over sensor 1.
        ScanProgram scan;
        scan.skipSteps = 15;
        scan.stopSteps = 2100;
        scan.memoryConfig = 0x60;
        scan.pauseLimit = 250;
        ASSERT_TRUE(Program(rig.io(), scan) && rig.io().writeRegister(0x07, 0x03));
        const auto data = ReadImage(rig.io(), 100'000'000);
        EXPECT_NEAR(static_cast<double>(data.size()) / 1682, 2100 * 2012.0 / 2016, 1.0);
        EXPECT_EQ(*rig.io().readRegister(0x02) & 0x01, 0x01) << "a long sheet still covers sensor 1";
    }
}

}  // namespace
}  // namespace ordavel::test
