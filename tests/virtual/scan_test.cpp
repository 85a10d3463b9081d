// Scans driven through raw frames: the paper region delivered after the skip, line timing, the
// stop count, the data port waiting in virtual time and running dry, the data counter and its
// units, pausing at the buffer limit without losing or repeating a line, the engine status bit,
// and a still sheet with the motor outputs off.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/virtual_rig.h"
#include "tests/support/param_names.h"
#include "virtual/cis_sensor.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

constexpr std::size_t kLineBytes = 1680 + 2;
constexpr double kLineUs = 2016, kStepUs = 2012;

// The reference scanner with a perfectly uniform, noiseless sensor: every code is predictable.
vs::ScannerConfig quietConfig(const std::string& page = "chart") {
    vs::ScannerConfig config = ReferenceScannerConfig();
    config.sensor.prnuPercent = 0;
    config.sensor.dsnuCounts = 0;
    config.sensor.noiseCounts = 0;
    config.feeder.sheets = {vs::SheetConfig{page}};
    return config;
}

// The 8-bit code of reflectance r through the front end (offset 0, gain code 14), the 14-bit ADC
// and the linear gamma.
int expectedCode(double r, const vs::ScannerConfig& c) {
    const double gain = vs::FrontEndGain(14);
    const double v = std::clamp((r * c.sensor.whiteSignal + c.sensor.darkLevel) * gain, 0.0, 65535.0);
    return (static_cast<int>(v) & 0xFFFC) >> 8;
}

// Page coordinate across the sheet of line pixel p for an unskewed sheet on the guide's centre.
double acrossSheet(int p, const vs::Page& page) { return page.widthInches() / 2 + (p - 150 - 840 + 0.5) / 200.0; }

// Steps made by the middle of line k at the scan rate.
int64_t stepsAtLine(int64_t k) { return static_cast<int64_t>((k * kLineUs + kLineUs / 2) / kStepUs); }

std::vector<std::vector<uint8_t>> scanLines(VirtualRig& rig, std::size_t lines, std::size_t lineBytes = kLineBytes) {
    return SplitLines(ReadImage(rig.io(), lines * lineBytes), lineBytes);
}

class SkipSteps : public ::testing::TestWithParam<uint16_t> {};

TEST_P(SkipSteps, DeliversThePaperRegionAtThatPosition) {
    const uint16_t skip = GetParam();
    const vs::ScannerConfig config = quietConfig();
    VirtualRig rig = MakeRig(config);
    ScanProgram program;
    program.skipSteps = skip;
    ASSERT_TRUE(Program(rig.io(), program) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    const auto lines = scanLines(rig, 400);
    ASSERT_EQ(lines.size(), 400u);
    const auto page = rig.scanner->sheetPage(1);
    const auto& truth = rig.scanner->observations().scans.back().lines;
    int mismatches = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        // Ready position 245, skip, then the scan-rate steps: depth below the leading edge.
        const double depth = (245.0 + skip + stepsAtLine(static_cast<int64_t>(k)) - 260.0) / 200.0;
        if (depth >= 0) {
            ASSERT_EQ(truth[k].sheet, 1);
            ASSERT_NEAR(truth[k].yInches, depth, 1e-9) << "line " << k;
        } else {
            ASSERT_EQ(truth[k].sheet, 0) << "line " << k << " sees the backing";
        }
        for (int j = 0; j < 1680; ++j) {
            const double x = acrossSheet(150 + j, *page);
            const bool onPage = depth >= 0 && page->contains(x, depth);
            const double r = onPage ? page->reflectance(x, depth, vs::Channel::Blue) : config.sensor.backingReflectance;
            if (std::abs(lines[k][static_cast<std::size_t>(j)] - expectedCode(r, config)) > 1) ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Positions, SkipSteps, ::testing::Values(0, 15, 115, 1015), ::ordavel::test::ReadableName{"Skip"});

TEST(Scan, LinesFollowTheLinePeriodAndTheMotorAdvancesOneStepPer2012Microseconds) {
    VirtualRig rig = MakeRig(quietConfig());
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    const uint64_t start = rig.nowUs();
    rig.clock->sleep(250);  // about 124 lines: less than the pause limit holds
    const auto& obs = rig.scanner->observations();
    const double elapsed = static_cast<double>(rig.nowUs() - start);
    EXPECT_NEAR(static_cast<double>(obs.scans.back().lines.size()), elapsed / kLineUs, 2.0);
    EXPECT_NEAR(static_cast<double>(rig.scanner->motorPosition()), elapsed / kStepUs, 2.0);
    EXPECT_EQ(rig.io().readRegister(0x07), 0x03) << "a scan reads 3 while it runs";
}

TEST(Scan, StopCountEndsTheScanThatManyStepsAfterTheFirstLine) {
    VirtualRig rig = MakeRig(quietConfig());
    ScanProgram program;
    program.skipSteps = 15;
    program.stopSteps = 300;
    ASSERT_TRUE(Program(rig.io(), program) && LoadLinearGamma(rig.io()));
    EXPECT_EQ(*rig.io().readRegister(0x03) & 0x10, 0x00) << "idle before any scan";
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    EXPECT_EQ(*rig.io().readRegister(0x03) & 0x10, 0x00) << "acquiring";
    const auto data = ReadImage(rig.io(), 10'000'000);
    // Lines complete before the motor has made 300 steps at the scan rate.
    const auto expected = static_cast<std::size_t>(300 * kStepUs / kLineUs);
    EXPECT_EQ(data.size(), expected * kLineBytes);
    EXPECT_EQ(rig.io().readRegister(0x07), 0x00) << "the scan ended by itself";
    EXPECT_EQ(*rig.io().readRegister(0x03) & 0x10, 0x10) << "engine stopped";
    const auto& scan = rig.scanner->observations().scans.back();
    EXPECT_EQ(scan.end, vs::CommandEnd::StopCount);
    EXPECT_EQ(rig.scanner->observations().motorRuns.back().steps, 15 + 300);
    auto more = rig.io().readData(4096);
    ASSERT_TRUE(more);
    EXPECT_TRUE(more->empty()) << "zero bytes once the data is gone";
}

struct StopSensorCase {
    uint8_t sensorConfig;  // 0x58 with one stop-scan bit
    int64_t changeAtStep;  // command steps when that sensor changes for a ticket at the ready position
};

class StopSensor : public ::testing::TestWithParam<StopSensorCase> {};

TEST_P(StopSensor, ScanEndsTheStopCountAfterAStopScanSensorChanges) {
    VirtualRig rig = MakeRig(quietConfig("ticket"));
    ScanProgram program;
    program.skipSteps = 15;
    program.stopSteps = 50;
    program.pauseLimit = 250;
    program.memoryConfig = 0x60;
    program.sensorConfig = GetParam().sensorConfig;
    ASSERT_TRUE(Program(rig.io(), program) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    const auto data = ReadImage(rig.io(), 100'000'000);
    EXPECT_EQ(rig.io().readRegister(0x07), 0x00);
    const auto& scan = rig.scanner->observations().scans.back();
    EXPECT_EQ(scan.end, vs::CommandEnd::StopSensor);
    EXPECT_EQ(rig.scanner->observations().motorRuns.back().steps, GetParam().changeAtStep + 50);
    EXPECT_EQ(data.size(), scan.lines.size() * kLineBytes);
}

// The ticket (1400 steps) waits with its leading edge at 245: its tail leaves sensor 2 after
// 1155 steps and sensor 1 after 1255.
INSTANTIATE_TEST_SUITE_P(Sensors, StopSensor,
                         ::testing::Values(StopSensorCase{0x0D, 1255}, StopSensorCase{0x29, 1155}));

TEST(Scan, DataPortWaitsInVirtualTimeUntilTheBytesExist) {
    VirtualRig rig = MakeRig(quietConfig());
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    const uint64_t start = rig.nowUs();
    const auto data = rig.io().readData(static_cast<uint16_t>(30 * kLineBytes));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->size(), 30 * kLineBytes);
    // 30 lines take 30 line periods; the transfer itself about a microsecond per byte more.
    const double elapsed = static_cast<double>(rig.nowUs() - start);
    EXPECT_GE(elapsed, 30 * kLineUs);
    EXPECT_LE(elapsed, 30 * kLineUs + 30 * kLineBytes + 3000);
}

TEST(Scan, HostStopEndsTheScanLeavesItsDataReadableAndTheNextScanStartsEmpty) {
    VirtualRig rig = MakeRig(quietConfig());
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    rig.clock->sleep(100);
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x00));
    const std::size_t stored = rig.scanner->observations().scans.back().lines.size();
    EXPECT_NEAR(static_cast<double>(stored), 101'000 / kLineUs, 2);
    rig.clock->sleep(100);
    EXPECT_EQ(rig.scanner->observations().scans.back().lines.size(), stored) << "no more lines";
    const auto data = ReadImage(rig.io(), 10'000'000);
    EXPECT_EQ(data.size(), stored * kLineBytes);
    // A new scan clears what a previous one left behind.
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    rig.clock->sleep(20);
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x00));
    rig.clock->sleep(1);
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    EXPECT_EQ(rig.scanner->bufferedBytes(), 0u);
}

struct UnitCase {
    uint8_t memoryConfig;
    std::size_t unitBytes;
};

class CounterUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(CounterUnits, DataCounterCountsWholeUnitsOfOne256thOfTheBuffer) {
    VirtualRig rig = MakeRig(quietConfig());
    ScanProgram program;
    program.memoryConfig = GetParam().memoryConfig;
    program.pauseLimit = 250;
    ASSERT_TRUE(Program(rig.io(), program) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    rig.clock->sleep(300);
    const auto samples = rig.io().readFixed(0x01, 3);
    ASSERT_TRUE(samples && samples->size() == 3u);
    EXPECT_EQ((*samples)[0], (*samples)[1]);
    EXPECT_EQ((*samples)[1], (*samples)[2]) << "one register read three times";
    const std::size_t held = rig.scanner->bufferedBytes();
    EXPECT_EQ((*samples)[0], std::min<std::size_t>(255, held / GetParam().unitBytes));
    EXPECT_GT((*samples)[0], 0);
}

INSTANTIATE_TEST_SUITE_P(MemorySizes, CounterUnits,
                         ::testing::Values(UnitCase{0x20, 2048}, UnitCase{0x60, 8192}));

TEST(Scan, EveryLineEndsWithTheBufferLevelInUnits) {
    VirtualRig rig = MakeRig(quietConfig());
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && LoadLinearGamma(rig.io()));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    rig.clock->sleep(200);  // ~99 lines stored, none read
    const auto lines = scanLines(rig, 60);
    ASSERT_EQ(lines.size(), 60u);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const unsigned level = lines[k][kLineBytes - 2] << 8 | lines[k][kLineBytes - 1];
        EXPECT_EQ(level, (k + 1) * kLineBytes / 2048) << "line " << k;
    }
}

// Reads a whole scan with a reader that lets the buffer fill to the pause limit between reads.
std::vector<uint8_t> scanWithPauses(VirtualRig& rig, std::size_t lines, uint64_t& pauses) {
    std::vector<uint8_t> data;
    while (data.size() < lines * kLineBytes) {
        rig.clock->sleep(400);  // longer than filling 20 units takes
        auto piece = rig.io().readData(static_cast<uint16_t>(std::min<std::size_t>(30000, lines * kLineBytes - data.size())));
        if (!piece || piece->empty()) break;
        data.insert(data.end(), piece->begin(), piece->end());
    }
    pauses = rig.scanner->observations().scans.back().pauses;
    return data;
}

TEST(Scan, PauseAtTheLimitThenResumeLosesAndRepeatsNoLine) {
    const vs::ScannerConfig config = quietConfig();
    ScanProgram program;
    program.pauseLimit = 20;  // 40 KiB
    program.resumeLimit = 10;
    program.skipSteps = 15;
    constexpr std::size_t kLines = 600;

    VirtualRig paused = MakeRig(config);
    ASSERT_TRUE(Program(paused.io(), program) && LoadLinearGamma(paused.io()));
    ASSERT_TRUE(paused.io().writeRegister(0x07, 0x03));
    {
        paused.clock->sleep(400);
        EXPECT_EQ(*paused.io().readRegister(0x03) & 0x10, 0x10) << "paused at the limit";
        const int64_t position = paused.scanner->motorPosition();
        paused.clock->sleep(400);
        EXPECT_EQ(paused.scanner->motorPosition(), position) << "the motor waits";
        EXPECT_EQ(paused.scanner->bufferedBytes() / 2048, 20u);
    }
    uint64_t pauses = 0;
    const auto withPauses = scanWithPauses(paused, kLines, pauses);
    EXPECT_GT(pauses, 5u);

    VirtualRig straight = MakeRig(config);
    program.pauseLimit = 250;
    ASSERT_TRUE(Program(straight.io(), program) && LoadLinearGamma(straight.io()));
    ASSERT_TRUE(straight.io().writeRegister(0x07, 0x03));
    const auto withoutPauses = ReadImage(straight.io(), kLines * kLineBytes);

    ASSERT_EQ(withPauses.size(), kLines * kLineBytes);
    ASSERT_EQ(withoutPauses.size(), kLines * kLineBytes);
    const auto a = SplitLines(withPauses, kLineBytes), b = SplitLines(withoutPauses, kLineBytes);
    for (std::size_t k = 0; k < kLines; ++k) {
        ASSERT_TRUE(std::equal(a[k].begin(), a[k].end() - 2, b[k].begin())) << "line " << k << " differs";
    }
    const auto& ta = paused.scanner->observations().scans.back().lines;
    const auto& tb = straight.scanner->observations().scans.back().lines;
    for (std::size_t k = 0; k < kLines; ++k) ASSERT_DOUBLE_EQ(ta[k].yInches, tb[k].yInches) << "line " << k;
}

TEST(Scan, MotorOutputsOffScanAStillSheet) {
    VirtualRig rig = MakeRig(quietConfig("ticket"));
    ASSERT_TRUE(Program(rig.io(), ScanProgram{}) && LoadLinearGamma(rig.io()));
    // Bring the ticket 100 steps past the ready position, then scan with the motor outputs off.
    ASSERT_TRUE(rig.io().writeWord(0x4A, 100) && rig.io().writeRegister(0x07, 0x05));
    rig.clock->sleep(200);
    ScanProgram still;
    still.motorConfig = 0x00;
    still.skipSteps = 50;
    ASSERT_TRUE(Program(rig.io(), still));
    ASSERT_TRUE(rig.io().writeRegister(0x07, 0x03));
    const auto lines = scanLines(rig, 50);
    ASSERT_EQ(lines.size(), 50u);
    for (const auto& line : lines) EXPECT_TRUE(std::equal(line.begin(), line.end() - 2, lines[0].begin()));
    for (const auto& truth : rig.scanner->observations().scans.back().lines) {
        EXPECT_EQ(truth.sheet, 1);
        EXPECT_DOUBLE_EQ(truth.yInches, (345.0 - 260.0) / 200.0);
    }
    EXPECT_DOUBLE_EQ(rig.sheet(1).lead, 345);
    EXPECT_GT(rig.scanner->motorPosition(), 100 + 50 + 49) << "the sequencer still stepped";
}

}  // namespace
}  // namespace ordavel::test
