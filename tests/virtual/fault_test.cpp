// Each fault does what it says: failing and short transfers (by count and by seeded chance), a
// stalled data port, disconnect, a command register that never reads back, a jam, the cover
// opened mid-scan, an empty feeder, short and long sheets, a double pick and stuck sensors.
#include <gtest/gtest.h>

#include "tests/support/virtual_rig.h"
#include "tests/support/param_names.h"
#include "virtual/builtin_pages.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

vs::ScannerConfig withFault(const vs::Fault& fault, int sheets = 1,
                            vs::FirstSheetPlacement first = vs::FirstSheetPlacement::Ready) {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.feeder.firstSheet = first;
    config.feeder.sheets.assign(static_cast<std::size_t>(sheets), vs::SheetConfig{"ticket"});
    config.faults = {fault};
    return config;
}

vs::Fault fault(vs::FaultType type) {
    vs::Fault f;
    f.type = type;
    return f;
}

void runFeed(VirtualRig& rig, uint32_t ms) {
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x01));
    rig.clock->sleep(ms);
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x00));
}

TEST(Faults, NthOutTransferFailsAndNothingReachesTheChip) {
    vs::Fault f = fault(vs::FaultType::FailTransfer);
    f.direction = vs::TransferDirection::Out;
    f.transfer = 2;
    VirtualRig rig = MakeRig(withFault(f));
    EXPECT_TRUE(rig.io().writeRegister(0x26, 0x01));
    EXPECT_FALSE(rig.io().writeRegister(0x26, 0x02));
    EXPECT_TRUE(rig.io().writeRegister(0x27, 0x03));
    EXPECT_EQ(rig.io().readRegister(0x26), 0x01);
    EXPECT_EQ(rig.scanner->observations().counters.failedTransfers, 1u);
}

TEST(Faults, FailedInTransferLosesTheAnswerButTheNextRequestWorks) {
    vs::Fault f = fault(vs::FaultType::FailTransfer);
    f.direction = vs::TransferDirection::In;
    f.transfer = 1;
    VirtualRig rig = MakeRig(withFault(f));
    ASSERT_TRUE(rig.io().writeRegister(0x26, 0x04));
    EXPECT_FALSE(rig.io().readRegister(0x26));
    EXPECT_EQ(rig.io().readRegister(0x26), 0x04);
    EXPECT_TRUE(rig.scanner->observations().protocolErrors.empty());
}

TEST(Faults, ChanceFaultsAreSeededAndRepeatable) {
    vs::Fault f = fault(vs::FaultType::FailTransfer);
    f.probability = 0.25;
    f.repeat = 0;
    auto pattern = [&](uint64_t seed) {
        vs::ScannerConfig config = withFault(f);
        config.faultSeed = seed;
        VirtualRig rig = MakeRig(config);
        std::vector<bool> ok;
        for (int i = 0; i < 200; ++i) ok.push_back(rig.io().writeRegister(0x26, 0x04));
        return ok;
    };
    const auto a = pattern(11), b = pattern(11), c = pattern(12);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const auto failures = std::count(a.begin(), a.end(), false);
    EXPECT_GT(failures, 25);
    EXPECT_LT(failures, 75);
}

TEST(Faults, ShortInTransferDeliversPartOfTheAnswer) {
    vs::Fault f = fault(vs::FaultType::ShortTransfer);
    f.direction = vs::TransferDirection::In;
    f.transfer = 1;
    VirtualRig rig = MakeRig(withFault(f));
    const auto samples = rig.io().readFixed(0x01, 4);
    ASSERT_TRUE(samples);
    EXPECT_EQ(samples->size(), 2u);
    EXPECT_EQ(rig.io().readFixed(0x01, 4)->size(), 4u);
}

TEST(Faults, ShortInTransferWithNothingKeptSucceedsWithNoBytes) {
    vs::Fault f = fault(vs::FaultType::ShortTransfer);
    f.direction = vs::TransferDirection::In;
    f.transfer = 1;
    f.keptShare = 0;
    VirtualRig rig = MakeRig(withFault(f));
    const auto samples = rig.io().readFixed(0x01, 4);
    ASSERT_TRUE(samples);
    EXPECT_TRUE(samples->empty());
    EXPECT_EQ(rig.io().readFixed(0x01, 4)->size(), 4u);
    EXPECT_TRUE(rig.scanner->observations().protocolErrors.empty());
}

TEST(Faults, ShortOutTransferFailsAndCarriesOnlyItsFirstHalf) {
    vs::Fault f = fault(vs::FaultType::ShortTransfer);
    f.direction = vs::TransferDirection::Out;
    f.transfer = 1;
    VirtualRig rig = MakeRig(withFault(f));
    const std::vector<uint8_t> pieces = {0x00, 0x26, 0x00, 0x01, 0x07, 0x00, 0x27, 0x00, 0x01, 0x09};
    EXPECT_FALSE(rig.pipe->write(pieces));
    EXPECT_EQ(rig.io().readRegister(0x26), 0x07);
    EXPECT_EQ(rig.io().readRegister(0x27), 0x00);
}

TEST(Faults, StalledDataPortWaitsForTheTimeoutAndFails) {
    vs::Fault f = fault(vs::FaultType::StallDataPort);
    f.transfer = 2;  // the second read of the data port, and every one after it
    f.repeat = 0;
    VirtualRig rig = MakeRig(withFault(f));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && rig.io().writeRegister(0x07, 0x03));
    ASSERT_TRUE(rig.io().readData(1682));
    const uint64_t before = rig.nowUs();
    EXPECT_FALSE(rig.io().readData(1682));
    EXPECT_GE(rig.nowUs() - before, 5'000'000u);
    EXPECT_TRUE(rig.io().readRegister(0x01)) << "registers still answer";
}

TEST(Faults, DisconnectTakesTheDeviceOffTheBusForItsDuration) {
    vs::Fault f = fault(vs::FaultType::Disconnect);
    f.atMs = 50;
    f.durationMs = 1000;
    VirtualRig rig = MakeRig(withFault(f));
    EXPECT_TRUE(rig.io().writeRegister(0x26, 0x04));
    rig.clock->sleep(100);
    EXPECT_FALSE(rig.io().writeRegister(0x26, 0x05));
    EXPECT_FALSE(rig.io().readRegister(0x26));
    EXPECT_FALSE(rig.pipe->lock(100));
    EXPECT_TRUE(rig.backend->devices().empty());
    EXPECT_FALSE(rig.backend->open("virtual"));
    rig.clock->sleep(1000);
    EXPECT_EQ(rig.backend->devices().size(), 1u);
    EXPECT_EQ(rig.io().readRegister(0x26), 0x04);
}

TEST(Faults, StuckCommandRegisterNeverReadsBackWhatWasWritten) {
    VirtualRig rig = MakeRig(withFault(fault(vs::FaultType::StuckCommand)));
    for (uint8_t command : {0x00, 0x20, 0x05}) {
        ASSERT_TRUE(rig.io().writeRegister(0x07, command));
        EXPECT_NE(rig.io().readRegister(0x07), command);
    }
}

TEST(Faults, JammedSheetStopsWhileTheMotorTurns) {
    vs::Fault f = fault(vs::FaultType::Jam);
    f.sheet = 1;
    f.atPosition = 300;
    VirtualRig rig = MakeRig(withFault(f));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    runFeed(rig, 1000);
    EXPECT_GT(rig.scanner->motorPosition(), 800);
    EXPECT_DOUBLE_EQ(rig.sheet(1).lead, 300);
    EXPECT_TRUE(rig.sheet(1).jammed);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x03, 0x03) << "the sheet stays over both sensors";
}

TEST(Faults, CoverOpenedMidScanLiftsTheRollersAndSetsTheTrayInput) {
    vs::Fault f = fault(vs::FaultType::CoverOpen);
    f.sheet = 1;
    f.atPosition = 400;  // 140 steps into the scan
    VirtualRig rig = MakeRig(withFault(f));
    ScanProgram program;
    program.skipSteps = 15;
    program.pauseLimit = 250;
    ASSERT_TRUE(Program(rig.io(), program) && LoadLinearGamma(rig.io()) && rig.io().writeRegister(0x07, 0x03));
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x00);
    rig.clock->sleep(600);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x04) << "open cover reads like an empty tray";
    EXPECT_DOUBLE_EQ(rig.sheet(1).lead, 400);
    const auto& lines = rig.scanner->observations().scans.back().lines;
    EXPECT_GT(lines.size(), 250u) << "lines keep coming";
    EXPECT_DOUBLE_EQ(lines.back().yInches, (400 - 260) / 200.0);
}

TEST(Faults, EmptyFeederLeavesOnlyTheSheetAlreadyInTheRollers) {
    VirtualRig rig = MakeRig(withFault(fault(vs::FaultType::EmptyFeeder), 3));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x04, 0x00) << "the first sheet still reaches the entrance";
    runFeed(rig, 3000);
    EXPECT_EQ(*rig.io().readRegister(0x02) & 0x07, 0x04);
    const auto sheets = rig.scanner->sheets();
    EXPECT_EQ(sheets[0].state, vs::SheetState::Ejected);
    EXPECT_EQ(sheets[1].state, vs::SheetState::Removed);
    EXPECT_EQ(sheets[2].state, vs::SheetState::Removed);
}

class SheetLength : public ::testing::TestWithParam<double> {};

TEST_P(SheetLength, SensorsSeeTheChangedLengthAndTheExtraPaperIsBlank) {
    vs::Fault f = fault(vs::FaultType::SheetLength);
    f.sheet = 1;
    f.lengthInches = GetParam();
    VirtualRig rig = MakeRig(withFault(f, 1, vs::FirstSheetPlacement::Entrance));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    const auto expectedSteps = static_cast<int>(GetParam() * 200);
    int covered = 0;
    for (int step = 0; step < 3000; step += 10) {
        ASSERT_TRUE(rig.io().writeWord(0x4A, 10) && rig.io().writeRegister(0x07, 0x05));
        rig.clock->sleep(20);
        if (rig.scanner->inputLevels().paperSensor1) covered += 10;
    }
    EXPECT_NEAR(covered, expectedSteps, 10);
    const auto page = rig.scanner->sheetPage(1);
    EXPECT_DOUBLE_EQ(page->heightInches(), GetParam());
    if (GetParam() > 7.0) {
        EXPECT_FLOAT_EQ(page->reflectance(1.5, 8.0, vs::Channel::Green), vs::kPaperWhite) << "blank paper added";
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, SheetLength, ::testing::Values(2.5, 9.0), ::ordavel::test::ReadableName{"Inches"});

TEST(Faults, DoublePickBringsTwoSheetsThroughAsOne) {
    vs::Fault f = fault(vs::FaultType::DoublePick);
    f.sheet = 1;
    f.overlapSteps = 40;
    VirtualRig rig = MakeRig(withFault(f, 3, vs::FirstSheetPlacement::Entrance));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    std::vector<int> changes;
    bool covered = false;
    for (int step = 1; step <= 5000; ++step) {
        ASSERT_TRUE(rig.io().writeWord(0x4A, 1) && rig.io().writeRegister(0x07, 0x05));
        rig.clock->sleep(2);
        const bool now = rig.scanner->inputLevels().paperSensor1;
        if (now != covered) changes.push_back(step);
        covered = now;
    }
    ASSERT_GE(changes.size(), 4u);
    EXPECT_EQ(changes[1] - changes[0], 1400 + 40) << "one long sheet at sensor 1";
    EXPECT_EQ(changes[2] - changes[1], rig.scanner->config().path.sheetGap) << "the third sheet follows at the usual gap";
}

struct StuckCase {
    vs::InputId input;
    bool active;
    uint8_t mask, expected;
};

class StuckInput : public ::testing::TestWithParam<StuckCase> {};

TEST_P(StuckInput, StuckInputIgnoresThePaper) {
    vs::Fault f = fault(vs::FaultType::StuckSensor);
    f.input = GetParam().input;
    f.stuckActive = GetParam().active;
    VirtualRig rig = MakeRig(withFault(f, 1, vs::FirstSheetPlacement::Entrance));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}));
    EXPECT_EQ(*rig.io().readRegister(0x02) & GetParam().mask, GetParam().expected);
    runFeed(rig, 800);  // the sheet moves over sensor 1
    EXPECT_EQ(*rig.io().readRegister(0x02) & GetParam().mask, GetParam().expected);
    runFeed(rig, 2000);  // and out
    EXPECT_EQ(*rig.io().readRegister(0x02) & GetParam().mask, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Inputs, StuckInput,
                         ::testing::Values(StuckCase{vs::InputId::PaperSensor1, true, 0x01, 0x01},
                                           StuckCase{vs::InputId::PaperSensor1, false, 0x01, 0x00},
                                           StuckCase{vs::InputId::PaperSensor2, false, 0x02, 0x00},
                                           StuckCase{vs::InputId::Tray, false, 0x04, 0x00}));

TEST(Faults, ScriptedFaultsStrikeWhenAddedAtRunTime) {
    VirtualRig rig = MakeRig(withFault(vs::Fault{vs::FaultType::SheetLength}));  // no sheet: no effect
    EXPECT_TRUE(rig.io().writeRegister(0x26, 0x04));
    vs::Fault f = fault(vs::FaultType::FailTransfer);
    f.transfer = 1;
    rig.scanner->addFault(f);
    EXPECT_FALSE(rig.io().writeRegister(0x26, 0x05));
    EXPECT_TRUE(rig.io().writeRegister(0x26, 0x06));
}

}  // namespace
}  // namespace ordavel::test
