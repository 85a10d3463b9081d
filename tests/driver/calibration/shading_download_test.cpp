// The shading download and the clearing of the offset tables, against a scripted controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "driver/calibration/calibration.h"
#include "driver/calibration/shading_download.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"
#include "tests/support/test_context.h"

namespace ordavel::calibration {
namespace {

using ordavel::test::PipeCall;
using ordavel::test::ScriptedDevice;
using ordavel::test::TestContext;

class ShadingDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig_.Open());
        rig_.pipe().SetRegister(0x42, 0x27);
        auto& s = rig_.ctx().calibration;
        s.pixelsPerLine = 2;
        s.channelMinimum = {11, 22, 0x0333};
        for (int c = 0; c < kColours; ++c) {
            s.sums[c][0] = 0x0100 + c;
            s.sums[c][1] = 0x0200 + c;
            s.sums[c][kCalibrationPixels - 1] = 0x0300 + c;
        }
        s.coefficients[kBlue][0] = 0x4000;
        s.coefficients[kBlue][1] = 0x10000;  // a quarter-target white: above any word
    }

    // The (register 0x03 value, memory bytes) pairs sent, in order.
    std::vector<std::pair<int, std::vector<uint8_t>>> Tables() {
        std::vector<std::pair<int, std::vector<uint8_t>>> tables;
        for (auto [reg, value] : rig_.pipe().RegisterWrites()) {
            if (reg == 0x03) tables.push_back({value, {}});
            if (reg == 0x06 && !tables.empty()) tables.back().second.push_back(value);
        }
        return tables;
    }

    void SetDebug(const char* level) {
        platform::WriteProfileString(rig_.ctx().TempFilePath("Mirt.def"), "SETUP", "Debug", level);
    }

    TestContext rig_{ScriptedDevice{}};
};

TEST_F(ShadingDownloadTest, BlackStepSendsTheBlueProfileAndSwitchesTheOffsetTableOn) {
    rig_.ctx().calibration.blackShadingValid = true;
    DownloadShadingTables(rig_.ctx(), "BlackFine");
    EXPECT_EQ(rig_.pipe().Register(0x42), 0x24);
    auto tables = Tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].first, 8);
    EXPECT_EQ(tables[0].second, (std::vector<uint8_t>{0x01, 0x02, 0x02, 0x02}));
    EXPECT_EQ(tables[1].first, 9);
    EXPECT_EQ(tables[1].second, (std::vector<uint8_t>{0x40, 0x00, 0xFF, 0xFF}));
    // All 16384 averages of each colour became the black profile.
    EXPECT_EQ(rig_.ctx().calibration.blackProfile[kRed][kCalibrationPixels - 1], 0x0300);
}

TEST_F(ShadingDownloadTest, WithoutAValidBlackStripTheOffsetsAreTheCoarseMinimum) {
    rig_.ctx().calibration.blackShadingValid = false;
    DownloadShadingTables(rig_.ctx(), "WhiteFine");
    EXPECT_EQ(rig_.pipe().Register(0x42), 0x26);
    auto tables = Tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].second, (std::vector<uint8_t>{0x03, 0x33, 0x03, 0x33}));
}

TEST_F(ShadingDownloadTest, DebugAboveTwoLeavesShadingOff) {
    SetDebug("3");
    DownloadShadingTables(rig_.ctx(), "WhiteFine");
    EXPECT_EQ(rig_.pipe().Register(0x42), 0x20);
    EXPECT_EQ(Tables().size(), 2u);  // the tables are still sent
}

TEST_F(ShadingDownloadTest, LongLinesSendOnlyTheFirst16384Words) {
    rig_.ctx().calibration.pixelsPerLine = kCalibrationPixels + 10;
    DownloadShadingTables(rig_.ctx(), "WhiteFine");
    auto tables = Tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].second.size(), 2u * kCalibrationPixels);
    EXPECT_EQ(tables[1].second.size(), 2u * kCalibrationPixels);
}

TEST_F(ShadingDownloadTest, AFailedRegisterReadSendsNothing) {
    rig_.pipe().FailCalls(PipeCall::Read, rig_.pipe().CallCount(PipeCall::Read) + 1, 100);
    DownloadShadingTables(rig_.ctx(), "WhiteFine");
    EXPECT_TRUE(Tables().empty());
    EXPECT_TRUE(rig_.pipe().MemoryWrites().empty());
}

TEST_F(ShadingDownloadTest, ClearingZeroesTheOffsetTablesOfAllColours) {
    ASSERT_TRUE(ClearOffsetTables(rig_.ctx(), 3));
    auto tables = Tables();
    ASSERT_EQ(tables.size(), 3u);
    for (int c = 0; c < kColours; ++c) {
        EXPECT_EQ(tables[c].first, 4 * c);
        EXPECT_EQ(tables[c].second, std::vector<uint8_t>(6, 0));
    }
}

}  // namespace
}  // namespace ordavel::calibration
