// The acquisition's read-step logic against a scripted controller: the availability poll and
// its sensor watch, the transfer ring and white fill, the probe's end, delivery across reads,
// cancellation and re-entry, and the work file's header.
#include <gtest/gtest.h>

#include <numeric>

#include "driver/device/controller_registers.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/engine/acquisition.h"
#include "driver/engine/line_output.h"
#include "driver/engine/work_file.h"
#include "tests/driver/engine/acquisition_rig.h"
#include "tests/support/param_names.h"

namespace ordavel::engine::test {
namespace {

using acquisition::PollAvailability;
using acquisition::TakeSample;
using acquisition::TransferWantedBytes;

constexpr uint8_t kCounter = 0x01;

struct SensorCase {
    const char* name;
    uint8_t status;
    bool paperOut, lastSheet;
    int32_t feedNeeded;
};

class SheetWatch : public ::testing::TestWithParam<SensorCase> {};

// Scans other than a sheet's end as the tail leaves sensor 1 (a sheet scan keeps its tail up to
// the scan line; the sheet tests show that through the exports).
TEST_P(SheetWatch, SensorStatusMarksTheSheetLeavingSensorOne) {
    const SensorCase& c = GetParam();
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Other, 1102, 100);
    rig.pipe().SetRegister(device::kSensorStatus, c.status);
    rig.pipe().SetRegister(device::kCommand, 0);
    rig.pipe().SetRegister(kCounter, 100);
    EXPECT_EQ(PollAvailability(rig.ctx(), 1000), 100);
    EXPECT_EQ(rig.acq().paperOutSeen, c.paperOut);
    EXPECT_EQ(rig.acq().lastSheet, c.lastSheet);
    EXPECT_EQ(rig.ctx().record.feedNeeded, c.feedNeeded);
    EXPECT_FALSE(rig.acq().motorRunning);  // register 7 read 0
}

INSTANTIATE_TEST_SUITE_P(
    Poll, SheetWatch,
    ::testing::Values(SensorCase{"stillCovered", 0x03, false, false, 0}, SensorCase{"atSensorOneOnly", 0x01, false, false, 0},
                      SensorCase{"nextSheetWaits", 0x02, true, false, 0}, SensorCase{"lastSheet", 0x00, true, true, 1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Poll, RunningMotorAsksForTheNextFeed) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 100);
    rig.pipe().SetRegister(device::kSensorStatus, 0x03);
    rig.pipe().SetRegister(device::kCommand, 3);
    rig.pipe().SetRegister(kCounter, 64);
    EXPECT_EQ(PollAvailability(rig.ctx(), 1000), 64);
    EXPECT_EQ(rig.ctx().record.feedNeeded, 1);
    EXPECT_TRUE(rig.acq().motorRunning);
}

struct DisagreementCase {
    const char* name;
    std::size_t disagreeingReads;  // counter reads (three samples each) that disagree before 70s come
    bool fails;
};
void PrintTo(const DisagreementCase& c, std::ostream* out) { *out << c.name; }

class CounterDisagreement : public ::testing::TestWithParam<DisagreementCase> {};

// Disagreeing samples are read again at once, within the paper path's longest move: 5.57 s for the
// rig's 11.7 inch path at 3 inches a second. Each pass reads the sensors, the command and the
// counter (three 2 ms register reads; from the 17th pass on, a 1 ms pause too), so about 800
// passes fit; a counter that keeps changing
// longer than that fails the scan as a communication failure instead of polling for ever.
TEST_P(CounterDisagreement, IsPolledAgainWithinTheLongestMove) {
    const DisagreementCase& c = GetParam();
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 100);
    rig.pipe().SetRegister(device::kSensorStatus, 0x03);
    rig.pipe().SetRegister(device::kCommand, 3);
    std::vector<uint8_t> samples;
    for (std::size_t i = 0; i < c.disagreeingReads * 3; ++i) samples.push_back(i % 2 == 0 ? 5 : 6);
    samples.insert(samples.end(), {70, 70, 70});
    rig.pipe().ScriptReads(kCounter, samples);
    const uint32_t before = rig.clock().tickCount();
    const auto sample = PollAvailability(rig.ctx(), 1000);
    const uint32_t elapsed = rig.clock().tickCount() - before;
    if (!c.fails) {
        EXPECT_EQ(sample, 70);
        EXPECT_EQ(rig.pipe().ReadsOf(kCounter), c.disagreeingReads + 1);
        return;
    }
    EXPECT_EQ(sample, std::nullopt);
    EXPECT_EQ(std::string(rig.ctx().record.messageText), device::kCommunicationFailedText);
    EXPECT_GE(elapsed, device::IdleTimeLimitMs(rig.ctx().description));
    EXPECT_LT(elapsed, device::IdleTimeLimitMs(rig.ctx().description) + 20) << "within one pass of the limit";
}

INSTANTIATE_TEST_SUITE_P(Poll, CounterDisagreement,
                         ::testing::Values(DisagreementCase{"OnceThenAgreed", 1, false},
                                           DisagreementCase{"ForFiveSecondsThenAgreed", 700, false},
                                           DisagreementCase{"PastTheLongestMove", 1200, true}),
                         ordavel::test::ReadableName{});

TEST(Poll, SmallPageWaitsInTenthsOfASecondUntilItIsThere) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 8);  // 8.6 KiB: a small page
    rig.pipe().SetRegister(device::kSensorStatus, 0x03);
    rig.pipe().SetRegister(device::kCommand, 3);
    rig.pipe().ScriptReads(kCounter, {3, 3, 3, 3, 3, 3, 9, 9, 9});
    const uint32_t before = rig.clock().tickCount();
    EXPECT_EQ(PollAvailability(rig.ctx(), 8), 9);
    EXPECT_GE(rig.clock().tickCount() - before, 200u);
    EXPECT_LT(rig.clock().tickCount() - before, 300u);
}

TEST(Poll, BigPageWithTheMotorRunningGivesUpAfterTwentyRetries) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    rig.pipe().SetRegister(device::kSensorStatus, 0x03);
    rig.pipe().SetRegister(device::kCommand, 3);
    rig.pipe().SetRegister(kCounter, 0);
    const uint32_t before = rig.clock().tickCount();
    EXPECT_EQ(PollAvailability(rig.ctx(), 1076), 0);
    EXPECT_EQ(rig.pipe().ReadsOf(kCounter), 21u);
    EXPECT_GE(rig.clock().tickCount() - before, 21u * 50u);
}

TEST(Poll, BigPageWithTheMotorStoppedTakesTheSampleAsItIs) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    rig.pipe().SetRegister(device::kSensorStatus, 0x03);
    rig.pipe().SetRegister(device::kCommand, 0);
    rig.pipe().SetRegister(kCounter, 7);
    EXPECT_EQ(PollAvailability(rig.ctx(), 1076), 7);
    EXPECT_EQ(rig.pipe().ReadsOf(kCounter), 1u);
}

TEST(Poll, AfterPaperOutTheControllerIsStoppedAndANewSheetNeedsNoFeed) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    rig.acq().paperOutSeen = true;
    rig.ctx().record.feedNeeded = 1;
    rig.pipe().SetRegister(device::kSensorStatus, 0x01);  // the next sheet reached sensor 1
    rig.pipe().SetRegister(kCounter, 40);
    const uint32_t before = rig.clock().tickCount();
    EXPECT_EQ(PollAvailability(rig.ctx(), 1076), 40);
    EXPECT_EQ(rig.WritesOf(device::kCommand), std::vector<uint8_t>{0});
    EXPECT_EQ(rig.ctx().record.feedNeeded, 0);
    EXPECT_GE(rig.clock().tickCount() - before, 50u);  // more than 32 units waiting
}

TEST(Poll, StoppedControllerWithNothingExpectedIsDrainedWithoutAsking) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    rig.acq().dataExpected = false;
    rig.acq().motorRunning = false;
    EXPECT_EQ(PollAvailability(rig.ctx(), 1076), 228);
    EXPECT_TRUE(rig.pipe().CallTrace().empty());
}

TEST(Poll, BigDataReleasesThePauseForCalibrationScansOnly) {
    for (ScanJob job : {ScanJob::Other, ScanJob::Sheet, ScanJob::Probe}) {
        AcquisitionRig rig;
        rig.OpenByHand(job, 1102, 1000);
        rig.pipe().SetRegister(device::kSensorStatus, 0x03);
        rig.pipe().SetRegister(kCounter, 200);
        EXPECT_EQ(PollAvailability(rig.ctx(), 1076), 200);
        EXPECT_EQ(rig.WritesOf(0x4F).size(), job == ScanJob::Other ? 1u : 0u);
    }
}

TEST(Poll, RegisterFailureEndsThePoll) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    rig.pipe().FailCalls(ordavel::test::PipeCall::Read, 1, 100);
    EXPECT_EQ(PollAvailability(rig.ctx(), 1076), std::nullopt);
}

TEST(Sample, SmallSamplesCountKibibytesAndZeroKeepsThePreviousAmount) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    TakeSample(rig.ctx(), 5);
    EXPECT_EQ(rig.acq().bytesWanted, 5 * 1024);
    EXPECT_TRUE(rig.acq().dataExpected);
    rig.acq().bytesWanted = 777;
    TakeSample(rig.ctx(), 0);
    EXPECT_EQ(rig.acq().bytesWanted, 777);
    EXPECT_FALSE(rig.acq().dataExpected);
    EXPECT_FALSE(rig.acq().motorRunning);
}

// Controller lines of `lineBytes` with varied pixels, each ending in a status word (a buffer
// level) as the controller sends it.
std::vector<uint8_t> Pattern(std::size_t bytes, std::size_t lineBytes) {
    std::vector<uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        const std::size_t column = i % lineBytes;
        data[i] = column + 2 < lineBytes ? static_cast<uint8_t>(i * 7 + i / 251) : column + 2 == lineBytes ? 0 : 0x40;
    }
    return data;
}

TEST(Transfer, DataPassesTheRingInPiecesNeverBeyondItsLimit) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 1102, 1000);
    const auto data = Pattern(300000, 1102);
    rig.pipe().QueueData(data);
    rig.acq().bytesWanted = kRingBytes;
    ASSERT_TRUE(TransferWantedBytes(rig.ctx(), 1102 * 1000));
    EXPECT_EQ(rig.acq().bytesInBuffer, kRingBytes);
    EXPECT_EQ(rig.acq().totalRead, kRingBytes);
    EXPECT_EQ(rig.acq().bytesWanted, 0);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + kRingBytes, rig.acq().workBuffer.begin()));
    // Each chunk fills the ring to at most 261,888 bytes; reads go in pieces of at most 65,535.
    std::size_t chunk = 0;
    std::vector<std::size_t> chunks;
    for (std::size_t size : rig.pipe().ReadRequests()) {
        if (size == 1) continue;
        EXPECT_LE(size, 65535u);
        chunk += size;
        if (size < 65535) {
            chunks.push_back(chunk);
            chunk = 0;
        }
    }
    EXPECT_EQ(chunks, (std::vector<std::size_t>{kRingFillLimit, kRingBytes - kRingFillLimit}));
}

TEST(Transfer, StopsWhenTheWorkBufferIsFull) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 100, 1000, 5000);
    rig.pipe().QueueData(Pattern(10000, 100));
    rig.acq().bytesInBuffer = 4000;
    rig.acq().bytesWanted = 3000;
    ASSERT_TRUE(TransferWantedBytes(rig.ctx(), 100000));
    EXPECT_EQ(rig.acq().bytesInBuffer, 5000);
    EXPECT_EQ(rig.acq().bytesWanted, 2000);  // kept for later
}

// Image data lost on the way (bytes the controller sent that never arrived) must fail the scan
// with the communication text, never shift the rest of the image: the data counter said more
// was there, or the lines' status words are no longer where the line length puts them.
struct LostDataCase {
    const char* name;
    std::size_t dropAt;     // bytes missing from the stream from here
    std::size_t dropped;
    bool counted;           // the counter said the wanted bytes were there
};

class LostImageData : public ::testing::TestWithParam<LostDataCase> {};

TEST_P(LostImageData, FailsTheTransferWithTheCommunicationText) {
    const LostDataCase& c = GetParam();
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 100, 1000);
    std::vector<uint8_t> data = Pattern(5000, 100);
    data.erase(data.begin() + static_cast<std::ptrdiff_t>(c.dropAt),
               data.begin() + static_cast<std::ptrdiff_t>(c.dropAt + c.dropped));
    rig.pipe().QueueData(data);
    rig.acq().bytesWanted = 5000;
    rig.acq().amountCounted = c.counted;
    EXPECT_FALSE(TransferWantedBytes(rig.ctx(), 100000));
    EXPECT_STREQ(rig.ctx().record.messageText, "通信失败");
}

INSTANTIATE_TEST_SUITE_P(Transfer, LostImageData,
                         ::testing::Values(LostDataCase{"piecesMissingMidLine", 1234, 7, false},
                                           LostDataCase{"answerShorterThanCounted", 4990, 10, true}),
                         [](const auto& param) { return std::string(param.param.name); });

struct WhiteCase {
    const char* name;
    bool lastSheet;
    int32_t feedNeededAfter;
};

class WhiteFill : public ::testing::TestWithParam<WhiteCase> {};

// Lines the stopped controller no longer delivers are white. After the last sheet the feed must
// stay the full one (which finds the feeder empty and succeeds); with a sheet following, the
// short feed takes it.
TEST_P(WhiteFill, MissingLinesAreWhiteAndTheFeedFollowsTheLastSheet) {
    const WhiteCase& c = GetParam();
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 100, 50);
    rig.acq().dataExpected = false;
    rig.acq().motorRunning = false;
    rig.acq().paperOutSeen = true;
    rig.acq().lastSheet = c.lastSheet;
    rig.ctx().record.feedNeeded = 1;
    rig.acq().bytesWanted = 1500;
    ASSERT_TRUE(TransferWantedBytes(rig.ctx(), 5000));
    EXPECT_EQ(rig.acq().bytesInBuffer, 1500);
    EXPECT_TRUE(std::all_of(rig.acq().workBuffer.begin(), rig.acq().workBuffer.begin() + 1500,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(rig.ctx().record.feedNeeded, c.feedNeededAfter);
    EXPECT_TRUE(rig.pipe().CallTrace().empty());
}

INSTANTIATE_TEST_SUITE_P(Transfer, WhiteFill,
                         ::testing::Values(WhiteCase{"lastSheet", true, 1}, WhiteCase{"sheetFollows", false, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Transfer, DataAfterPaperOutStopsTheMotorFlag) {
    for (bool last : {false, true}) {
        AcquisitionRig rig;
        rig.OpenByHand(ScanJob::Sheet, 100, 50);
        rig.pipe().QueueData(Pattern(1000, 100));
        rig.acq().paperOutSeen = true;
        rig.acq().lastSheet = last;
        rig.ctx().record.feedNeeded = 1;
        rig.acq().bytesWanted = 1000;
        ASSERT_TRUE(TransferWantedBytes(rig.ctx(), 5000));
        EXPECT_FALSE(rig.acq().motorRunning);
        EXPECT_EQ(rig.ctx().record.feedNeeded, last ? 1 : 0);
    }
}

TEST(Transfer, ProbeEndsOnceMoreThanASecondHasPassedSinceItsFirstData) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Probe, 100, 100000);
    rig.pipe().QueueData(Pattern(10000, 100));
    const uint32_t start = rig.clock().tickCount();
    rig.ctx().engine.parms.millisecs = static_cast<int32_t>(start);
    rig.acq().bytesWanted = 1000;
    ASSERT_TRUE(TransferWantedBytes(rig.ctx(), 1000000));
    EXPECT_FALSE(rig.acq().done);
    rig.clock().sleep(1001);
    rig.acq().bytesWanted = 1000;
    ASSERT_TRUE(TransferWantedBytes(rig.ctx(), 1000000));
    EXPECT_TRUE(rig.acq().done);
    EXPECT_GT(rig.ctx().engine.parms.millisecs, 1000);
    EXPECT_LT(rig.ctx().engine.parms.millisecs, 1100);
}

// A controller that takes the scan command and reads back as scanning, but never puts a line in
// its buffer (the counter stays 0, the engine never reports stopping), or, for a scan it is to
// stop by its line count, delivers the lines and never stops: the read step waits for the paper
// path's longest move, or a minute where the description gives no speed, then fails the scan as
// a communication failure instead of polling for ever.
struct StalledControllerCase {
    const char* name;
    double maxSpeed;     // the description's top speed, inches a second
    uint32_t limitMs;    // how long the wait may last
    bool stopsByCount;   // the scan's lines all arrive; the controller is to stop by their count
    uint32_t beforeMs;   // the time the scan spends before the wait (each read step settles 1 s)
    friend void PrintTo(const StalledControllerCase& c, std::ostream* os) { *os << c.name; }
};

class StalledController : public ::testing::TestWithParam<StalledControllerCase> {};

TEST_P(StalledController, FailsTheScanAsACommunicationFailureOnceTheLongestMoveIsOver) {
    const StalledControllerCase& c = GetParam();
    constexpr int32_t kLineBytes = 100, kLines = 10;
    AcquisitionRig rig;
    rig.ctx().description.Max_Speed = c.maxSpeed;
    ASSERT_EQ(device::IdleTimeLimitMs(rig.ctx().description), c.maxSpeed > 0 ? c.limitMs : 0u);
    rig.OpenByHand(ScanJob::Other, kLineBytes, kLines);
    if (c.stopsByCount) {
        rig.acq().stopCount = kLines;
        rig.pipe().QueueData(std::vector<uint8_t>(kLineBytes * kLines, 0));
        rig.pipe().SetRegister(kCounter, 1);  // a kibibyte waits: the whole scan
        rig.pipe().SetRegister(device::kSensorStatus, device::kPaperAtSensor1);  // the strip stays
        ASSERT_TRUE(CreateWorkFile(rig.ctx())) << rig.ctx().record.messageText;
    }
    // Should the wait have no end, the device goes away long after the limit and the test fails
    // on its text instead of hanging.
    rig.pipe().FailCalls(ordavel::test::PipeCall::Read, 1'000'000, SIZE_MAX / 2);
    const uint32_t start = rig.clock().tickCount();
    int32_t done = 0;
    bool stepped = true;
    // A calibration scan returns after each chunk it hands on; the client calls again.
    for (int step = 0; step < 100 && stepped && done == 0; ++step) stepped = ScanSome(rig.ctx(), done, false);
    EXPECT_FALSE(stepped);
    const uint32_t waited = rig.clock().tickCount() - start;
    EXPECT_STREQ(rig.ctx().record.messageText, "通信失败");
    EXPECT_EQ(done, 1) << "the failed scan is finished";
    EXPECT_GE(waited, c.limitMs + c.beforeMs);
    EXPECT_LT(waited, c.limitMs + c.beforeMs + 100) << "the wait ends once its time is up";
    EXPECT_EQ(rig.WritesOf(device::kCommand).back(), device::kCommandIdle) << "the controller is stopped";
}

INSTANTIATE_TEST_SUITE_P(
    Waits, StalledController,
    // (11.7 + 5) inches at the top speed; the rig's description is 11.7 inches long.
    ::testing::Values(StalledControllerCase{"NoFirstDataAtThreeInchesASecond", 3.0, 5566, false, 0},
                      StalledControllerCase{"NoFirstDataAtTenInchesASecond", 10.0, 1670, false, 0},
                      StalledControllerCase{"NoFirstDataWithoutASpeed", 0.0, 60'000, false, 0},
                      StalledControllerCase{"NeverStopsByItsCount", 3.0, 5566, true, 2000}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Transfer, ReadFailureIsAnError) {
    AcquisitionRig rig;
    rig.OpenByHand(ScanJob::Sheet, 100, 50);
    rig.pipe().FailCalls(ordavel::test::PipeCall::Read, 1, 100);
    rig.acq().bytesWanted = 1000;
    EXPECT_FALSE(TransferWantedBytes(rig.ctx(), 5000));
}

TEST(WorkFile, HeaderHoldsTenLines) {
    ScanParms p;
    p.pixelsperline = 1100;
    p.channelmode = 4;
    p.bitsperchannel = 8;
    p.hres = 200;
    p.yres = 300;
    EXPECT_EQ(WorkFileHeader(p, 1893), "v2\n1100\n0.00\n0\n4\n3\n1893\n200\n300\n2\n");
    const int32_t codes[][2] = {{1, 0}, {2, 1}, {4, 2}, {8, 3}, {16, 4}, {12, 0}};
    for (const auto& c : codes) EXPECT_EQ(WorkFileDepthCode(c[0]), c[1]) << c[0];
}

TEST(ScanSome, StopWithNoScanOpenReportsDoneAndTouchesNothing) {
    AcquisitionRig rig;
    int32_t done = 0;
    EXPECT_TRUE(ScanSome(rig.ctx(), done, true));
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(rig.pipe().CallTrace().empty());
}

// Sets up a sheet scan of 4-pixel grey lines by hand, with `lines` controller lines already in
// the work buffer; line n holds the value n.
void PrepareSheetDelivery(AcquisitionRig& rig, int32_t lines, int32_t outputLines) {
    DriverContext& ctx = rig.ctx();
    rig.OpenByHand(ScanJob::Sheet, 6, outputLines + 1);
    ScanRequest& r = ctx.engine.request;
    r.lineOrder = 0;
    r.scanRectLeft = 0;
    r.scanRectRight = 4;
    r.scanRectTop = 0;
    r.scanRectBottom = outputLines;
    ctx.engine.parms.channelmode = 4;
    LineGeometry& g = ctx.engine.geometry;
    g.actualXResolution = g.requestedXResolution = 200;
    g.actualYResolution = g.requestedYResolution = 200;
    ASSERT_TRUE(StartLineOutput(ctx));
    AcquisitionState& a = rig.acq();
    a.imageBuffer.assign(4, 0);
    for (int32_t n = 0; n < lines; ++n) {
        std::fill_n(a.workBuffer.begin() + n * 6, 4, static_cast<uint8_t>(n + 1));
    }
    a.bytesInBuffer = lines * 6;
    a.started = true;
}

TEST(Delivery, FullDestinationResumesWithTheNextLineWithoutReadingTheController) {
    AcquisitionRig rig;
    PrepareSheetDelivery(rig, 9, 20);
    std::vector<uint8_t> dest(10, 0xEE);
    rig.ctx().engine.destination = Destination{dest.data(), 10, 0};
    acquisition::HandOnBufferedData(rig.ctx());
    ASSERT_TRUE(rig.acq().delivering);
    EXPECT_EQ(rig.ctx().engine.destination.delivered, 8);
    EXPECT_EQ(std::vector<uint8_t>(dest.begin(), dest.begin() + 8), (std::vector<uint8_t>{1, 1, 1, 1, 2, 2, 2, 2}));

    dest.assign(10, 0xEE);
    rig.ctx().engine.destination = Destination{dest.data(), 10, 0};
    int32_t done = 1;
    EXPECT_TRUE(ScanSome(rig.ctx(), done, false));
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(rig.acq().delivering);
    EXPECT_EQ(std::vector<uint8_t>(dest.begin(), dest.begin() + 8), (std::vector<uint8_t>{3, 3, 3, 3, 4, 4, 4, 4}));
    EXPECT_TRUE(rig.pipe().CallTrace().empty());
}

DriverContext* g_reportContext = nullptr;
std::vector<std::string> g_reports;

int32_t RecordReports(int32_t kind) {
    if (kind == 0) g_reports.emplace_back(g_reportContext->record.messageText);
    return 0;
}

TEST(Delivery, DestinationSmallerThanALineIsRefused) {
    AcquisitionRig rig;
    PrepareSheetDelivery(rig, 2, 20);
    rig.acq().started = false;
    g_reportContext = &rig.ctx();
    g_reports.clear();
    rig.ctx().record.statusCallback = RecordReports;
    std::vector<uint8_t> dest(3);
    rig.ctx().engine.destination = Destination{dest.data(), 3, 0};
    int32_t done = 0;
    EXPECT_FALSE(ScanSome(rig.ctx(), done, false));
    ASSERT_FALSE(g_reports.empty());
    EXPECT_EQ(g_reports.front(), "扫描宽度超界");
    EXPECT_EQ(rig.WritesOf(device::kCommand), std::vector<uint8_t>{0});  // never started
    EXPECT_TRUE(rig.acq().idle);
    EXPECT_EQ(done, 1);
}

DriverContext* g_callbackContext = nullptr;
int g_callbackCalls = 0;

int32_t CancelAtProgress(int32_t kind) {
    if (kind == 1) ++g_callbackCalls;
    return kind == 1 ? 1 : 0;
}

int32_t StopFromInsideTheCallback(int32_t kind) {
    if (kind != 1) return 0;
    ++g_callbackCalls;
    int32_t done = 0;
    ScanSome(*g_callbackContext, done, true);
    return 0;
}

// An open calibration-style scan whose controller stops by count (no start-up wait).
void PrepareRunningScan(AcquisitionRig& rig) {
    rig.OpenByHand(ScanJob::Other, 100, 50);
    rig.acq().stopCount = 60;
    g_callbackContext = &rig.ctx();
    g_callbackCalls = 0;
}

TEST(Cancellation, NonZeroProgressAnswerEndsTheScanAndStopsTheController) {
    AcquisitionRig rig;
    PrepareRunningScan(rig);
    rig.ctx().record.statusCallback = CancelAtProgress;
    int32_t done = 0;
    EXPECT_FALSE(ScanSome(rig.ctx(), done, false));
    EXPECT_EQ(g_callbackCalls, 1);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(rig.acq().idle);
    EXPECT_EQ(rig.WritesOf(device::kCommand), (std::vector<uint8_t>{0, 3, 0}));
    EXPECT_EQ(rig.acq().totalRead, 0);
}

TEST(Cancellation, ReEntryFromTheCallbackFailsTheInterruptedStepUntouched) {
    AcquisitionRig rig;
    PrepareRunningScan(rig);
    rig.ctx().record.statusCallback = StopFromInsideTheCallback;
    int32_t done = 0;
    EXPECT_FALSE(ScanSome(rig.ctx(), done, false));
    EXPECT_EQ(g_callbackCalls, 1);
    EXPECT_TRUE(rig.acq().idle);        // the inner stop closed the scan
    EXPECT_FALSE(rig.acq().insideStep);
    EXPECT_EQ(rig.pipe().ReadsOf(kCounter), 0u);  // the outer step read nothing afterwards
    // The engine works normally afterwards: a stop with nothing open is done at once.
    EXPECT_TRUE(ScanSome(rig.ctx(), done, true));
    EXPECT_EQ(done, 1);
}

}  // namespace
}  // namespace ordavel::engine::test
