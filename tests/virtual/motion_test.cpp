// Motor commands and the paper path, driven through raw frames: moves of exactly the programmed
// steps, the feed motor running until stopped, sensors changing where sheet edges pass them, the
// tray input, the motor outputs bit, direction, and a batch of sheets passing with their gap.
#include <gtest/gtest.h>

#include "tests/support/virtual_rig.h"
#include "tests/support/param_names.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

constexpr uint64_t kFastStepUs = 1088;  // 4 × 0x0110 pixel periods of 1 us

vs::ScannerConfig oneSheet(vs::FirstSheetPlacement first, const std::string& page = "ticket") {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.feeder.firstSheet = first;
    config.feeder.sheets = {vs::SheetConfig{page}};
    return config;
}

// Moves with command 5 and waits (in virtual time) until it is done.
void move(VirtualRig& rig, uint16_t steps) {
    ASSERT_TRUE(rig.io().writeWord(0x4A, steps));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x05));
    rig.clock->sleep(static_cast<uint32_t>(steps * kFastStepUs / 1000 + 5));
    ASSERT_EQ(rig.io().readRegister(0x07), 0x00);
}

class MoveSteps : public ::testing::TestWithParam<uint16_t> {};

TEST_P(MoveSteps, MovesExactlyTheProgrammedStepsAtFastFeedSpeedAndReturnsToIdle) {
    const uint16_t steps = GetParam();
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Ready));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    const double leadBefore = rig.sheet(1).lead;
    ASSERT_TRUE(rig.io().writeWord(0x4A, steps));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x05));
    EXPECT_EQ(rig.io().readRegister(0x07), 0x05) << "a written command reads back at once";
    rig.clock->sleep(static_cast<uint32_t>(steps * kFastStepUs / 1000 + 50));
    EXPECT_EQ(rig.io().readRegister(0x07), 0x00);
    EXPECT_DOUBLE_EQ(rig.sheet(1).lead, leadBefore + steps);
    const auto& run = rig.scanner->observations().motorRuns.back();
    EXPECT_EQ(run.command, 0x05);
    EXPECT_EQ(run.steps, steps);
    EXPECT_EQ(run.paperSteps, steps);
    EXPECT_EQ(run.end, vs::CommandEnd::MoveDone);
    EXPECT_NEAR(static_cast<double>(run.endUs - run.startUs), steps * static_cast<double>(kFastStepUs), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Steps, MoveSteps, ::testing::Values(1, 15, 145, 600), ::ordavel::test::ReadableName{"Steps"});

TEST(Motion, FeedMotorRunsUntilStoppedAndAnyCommandWriteStopsIt) {
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Entrance, "white"));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x01));
    const uint64_t start = rig.nowUs();
    rig.clock->sleep(1000);
    EXPECT_EQ(rig.io().readRegister(0x07), 0x01) << "the feed never ends by itself";
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x20));  // even the programming value stops it
    const int64_t steps = rig.scanner->motorPosition();
    EXPECT_NEAR(static_cast<double>(steps), static_cast<double>(rig.nowUs() - start) / kFastStepUs, 3.0);
    rig.clock->sleep(500);
    EXPECT_EQ(rig.scanner->motorPosition(), steps);
    EXPECT_EQ(rig.io().readRegister(0x07), 0x20);
}

TEST(Motion, MotorOutputsOffCountStepsButLeaveThePaperStill) {
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Ready));
    ScanProgram program;
    program.motorConfig = 0x00;
    ASSERT_TRUE(Program(rig.io(), program));
    move(rig, 100);
    EXPECT_EQ(rig.scanner->motorPosition(), 100);
    EXPECT_DOUBLE_EQ(rig.sheet(1).lead, 245);
    EXPECT_EQ(rig.scanner->observations().motorRuns.back().paperSteps, 0);
}

TEST(Motion, ReverseBitTurnsTheMotorBackwards) {
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Ready));
    ScanProgram program;
    program.motorConfig = 0x30;
    ASSERT_TRUE(Program(rig.io(), program));
    move(rig, 40);
    EXPECT_DOUBLE_EQ(rig.sheet(1).lead, 205);
    EXPECT_EQ(rig.scanner->motorPosition(), -40);
}

// Paper sensor status bits through polarity: (0x58 value, status bit with paper, without).
struct PolarityCase {
    uint8_t sensorConfig;
    uint8_t withPaper;
    uint8_t withoutPaper;
};

class SensorPolarity : public ::testing::TestWithParam<PolarityCase> {};

TEST_P(SensorPolarity, Sensor1ChangesExactlyWhenTheLeadingEdgeReachesIt) {
    const PolarityCase c = GetParam();
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Entrance));
    ScanProgram program;
    program.sensorConfig = c.sensorConfig;
    ASSERT_TRUE(Program(rig.io(), program));
    // Leading edge at the entrance: sensor 2 covered, sensor 1 not.
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x03, (c.withPaper & 0x02) | (c.withoutPaper & 0x01));
    move(rig, 99);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x01, c.withoutPaper & 0x01) << "leading edge one step short";
    move(rig, 1);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x01, c.withPaper & 0x01) << "leading edge at sensor 1";
}

INSTANTIATE_TEST_SUITE_P(Polarity, SensorPolarity,
                         ::testing::Values(PolarityCase{0x09, 0x03, 0x00}, PolarityCase{0x00, 0x00, 0x03},
                                           PolarityCase{0x01, 0x01, 0x02}));

TEST(Motion, TailLeavesEachSensorAfterTheSheetLength) {
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Entrance));  // ticket: 7 in = 1400 steps
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    move(rig, 1399);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x03, 0x03);
    move(rig, 1);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x03, 0x01) << "tail just left the entrance";
    move(rig, 99);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x03, 0x01);
    move(rig, 1);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x03, 0x00) << "tail just left sensor 1";
}

TEST(Motion, EdgeTriggeredSensorLatchesUntilTheStatusIsRead) {
    VirtualRig rig = MakeRig(oneSheet(vs::FirstSheetPlacement::Entrance));
    ScanProgram program;
    program.sensorConfig = 0x0B;  // sensor 1 edge-triggered, both polarity high
    ASSERT_TRUE(Program(rig.io(), program));
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x01, 0x00);
    move(rig, 100);   // the leading edge reaches sensor 1 ...
    move(rig, 1500);  // ... and the tail leaves it again before anyone looks
    const auto twice = rig.io().readFixed(0x02, 2);
    ASSERT_TRUE(twice && twice->size() == 2);
    EXPECT_EQ((*twice)[0] & 0x03, 0x01) << "the passing edge was latched; sensor 2 (level) shows no paper";
    EXPECT_EQ((*twice)[1] & 0x01, 0x00) << "reading cleared the latch";
}

TEST(Motion, TrayInputShowsEmptyOnlyWhenNoSheetIsInTheTrayOrAtTheEntrance) {
    vs::ScannerConfig config = oneSheet(vs::FirstSheetPlacement::Ready);
    config.feeder.sheets = {vs::SheetConfig{"ticket"}, vs::SheetConfig{"ticket"}};
    VirtualRig rig = MakeRig(config);
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x00);
    // The first ticket (1400 steps from 245) leaves the entrance; the second one follows it.
    move(rig, 1200);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x00) << "second sheet still in the tray";
    move(rig, 1000);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x00) << "second sheet reaches back into the tray";
    move(rig, 1000);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x04) << "last tail past the entrance";
}

TEST(Motion, BatchPassesTheSensorsWithTheConfiguredGapBetweenSheets) {
    vs::ScannerConfig config = oneSheet(vs::FirstSheetPlacement::Entrance);
    config.feeder.sheets.assign(4, vs::SheetConfig{"ticket"});
    VirtualRig rig = MakeRig(config);
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    // Step the sheets one full step at a time, recording where sensor 1 changes.
    std::vector<std::pair<int, bool>> changes;
    bool covered = false;
    for (int position = 1; position <= 8000; ++position) {
        move(rig, 1);
        const bool now = rig.scanner->inputLevels().paperSensor1;
        if (now != covered) changes.emplace_back(position, now);
        covered = now;
    }
    ASSERT_EQ(changes.size(), 8u) << "four sheets arrive and leave";
    for (std::size_t sheet = 0; sheet < 4; ++sheet) {
        EXPECT_EQ(changes[2 * sheet + 1].first - changes[2 * sheet].first, 1400) << "sheet length";
        if (sheet > 0) {
            EXPECT_EQ(changes[2 * sheet].first - changes[2 * sheet - 1].first, config.path.sheetGap) << "gap";
        }
    }
    const auto sheets = rig.scanner->sheets();
    EXPECT_EQ(sheets.front().state, vs::SheetState::Ejected);
}

}  // namespace
}  // namespace ordavel::test
