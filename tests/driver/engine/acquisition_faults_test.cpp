// Faults during a sheet scan, through the exports against the reference virtual scanner: every
// case either recovers exactly (the page byte-identical to a clean scan of the same sheet) or
// fails cleanly (the read returns 1, the status text the client reads is the cause's, the device
// is closed, and the next scan works). A paper that stops moving (a jam, an opened cover) is
// such a failure too, never a complete page.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "tests/support/sheet_scan_rig.h"
#include "virtual/fault.h"

namespace ordavel::engine {
namespace {

using test::ClientScan;
using test::ScannedPage;
using test::SheetScanRig;
using test::ByChance;
namespace vs = virtual_scanner;

// Every text the driver reports, in order, as the client's status callback hears it.
DriverContext* g_heardFrom = nullptr;
std::vector<std::string> g_heard;

int32_t HearStatus(int32_t kind) {
    if (kind == 0 && g_heardFrom != nullptr) g_heard.emplace_back(g_heardFrom->record.messageText);
    return 0;
}

bool IsProgress(const std::string& text) {
    for (const char* progress : {"扫描中...", "扫描仪准备好", "开始校正", "校正中(大约需要1分钟)..."}) {
        if (text == progress) return true;
    }
    return false;
}

std::string FirstFailureHeard() {
    for (const std::string& text : g_heard) {
        if (!IsProgress(text)) return text;
    }
    return "";
}

vs::SheetConfig Page(const char* name) {
    vs::SheetConfig sheet;
    sheet.page = name;
    return sheet;
}

enum class Outcome { Exact, Fails };

struct FaultCase {
    const char* name;
    std::vector<vs::SheetConfig> sheets;
    vs::Fault fault;
    Outcome outcome;
    const char* text;  // the start of the status text a failure leaves
    bool atFirstRead = false;  // the fault is added once the scan has started, before its first read
};

vs::Fault DataPortStall(uint64_t read, uint32_t repeat) {
    vs::Fault f;
    f.type = vs::FaultType::StallDataPort;
    f.transfer = read;
    f.repeat = repeat;
    return f;
}

// `repeat` transfers in a row fail from the `transfer`th after the fault is added.
vs::Fault FailedRun(vs::TransferDirection direction, uint64_t transfer, uint32_t repeat) {
    vs::Fault f;
    f.type = vs::FaultType::FailTransfer;
    f.direction = direction;
    f.transfer = transfer;
    f.repeat = repeat;
    return f;
}

vs::Fault Unplugged(uint64_t transfer, uint64_t forMs) {
    vs::Fault f;
    f.type = vs::FaultType::Disconnect;
    f.transfer = transfer;
    f.durationMs = forMs;
    return f;
}

vs::Fault AtPosition(vs::FaultType type, double leadingEdge, uint64_t forMs = 0) {
    vs::Fault f;
    f.type = type;
    f.sheet = 1;
    f.atPosition = leadingEdge;
    if (forMs != 0) f.durationMs = forMs;
    return f;
}

ScannedPage CleanScan(const std::vector<vs::SheetConfig>& sheets, const ClientScan& scan) {
    SheetScanRig clean(sheets, "clean");
    EXPECT_EQ(clean.SetParams(scan), 0);
    return clean.ScanSheet(scan);
}

class SheetScanFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SheetScanFault, RecoversExactlyOrFailsCleanly) {
    const FaultCase& c = GetParam();
    const ClientScan scan;
    SheetScanRig rig(c.sheets, "fault");
    g_heardFrom = &rig.ctx();
    ASSERT_EQ(rig.SetParams(scan, HearStatus), 0);
    g_heard.clear();
    // A started scan is not started again by ScanSheet, so a fault can wait for its first read.
    if (c.atFirstRead) {
        ASSERT_EQ(interface::ScanStart(rig.ctx()), 0);
    }
    rig.scanner().addFault(c.fault);
    const ScannedPage page = rig.ScanSheet(scan);

    if (c.outcome == Outcome::Exact) {
        ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
        EXPECT_STREQ(rig.ctx().record.messageText, "扫描完成");
        const ScannedPage clean = CleanScan(c.sheets, scan);
        ASSERT_EQ(clean.result, 2);
        EXPECT_TRUE(page.bytes == clean.bytes) << "the page differs from a clean scan of the sheet";
        return;
    }
    ASSERT_EQ(page.result, 1) << "a damaged page was delivered as complete";
    ScanInfo info{};
    interface::ScanGetScanInfo(rig.ctx(), &info);
    const std::string text = info.statusText;
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    EXPECT_EQ(text, FirstFailureHeard()) << "the client reads the first failure, not the clean-up's";
    EXPECT_FALSE(rig.ctx().connection.pipe) << "the device is closed";
    const bool unplugged = c.fault.type == vs::FaultType::Disconnect;
    if (unplugged) {
        const auto failures = std::count_if(g_heard.begin(), g_heard.end(), [](const auto& t) { return !IsProgress(t); });
        EXPECT_GT(failures, 1) << "the clean-up's own failures are still heard, after the cause";
    }
    if (!unplugged) {
        EXPECT_EQ(rig.scanner().peekRegister(0x07), 0) << "the controller is stopped";
    }

    // The client stops; the device works again for the next scan (unless paper is still stuck).
    EXPECT_EQ(rig.Stop(), 0);
    EXPECT_EQ(info.statusText, std::string(rig.ctx().record.messageText)) << "stopping keeps the cause";
    if (c.fault.type == vs::FaultType::Jam) {
        // The sheet is still stuck: the next scan fails the same way instead of scanning it.
        ASSERT_EQ(rig.SetParams(scan, HearStatus), 0) << rig.ctx().record.messageText;
        EXPECT_EQ(rig.ScanSheet(scan).result, 1);
        EXPECT_STREQ(rig.ctx().record.messageText, c.text);
        return;
    }
    rig.scratch().clock().sleep(5000);  // the disconnect or the open cover is over
    ASSERT_EQ(rig.SetParams(scan, HearStatus), 0) << rig.ctx().record.messageText;
    const ScannedPage next = rig.ScanSheet(scan);
    EXPECT_EQ(next.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(next.lines, 1892);
}

const vs::SheetConfig kChart = Page("chart");
const vs::SheetConfig kTicket = Page("ticket");
constexpr auto kIn = vs::TransferDirection::In;
constexpr auto kOut = vs::TransferDirection::Out;

INSTANTIATE_TEST_SUITE_P(
    Sheet, SheetScanFault,
    ::testing::Values(
        // A data read that fails goes on where the data stopped: nothing is read twice or lost.
        FaultCase{"stalledDataReadRecovers", {kChart}, DataPortStall(12, 1), Outcome::Exact, ""},
        FaultCase{"failedReadsRecover", {kChart}, ByChance(vs::FaultType::FailTransfer, kIn, 0.02), Outcome::Exact, ""},
        FaultCase{"shortReadsRecover", {kChart}, ByChance(vs::FaultType::ShortTransfer, kIn, 0.05), Outcome::Exact, ""},
        // A data port that stays dead fails the read with the transfer's text.
        FaultCase{"deadDataPortFails", {kChart}, DataPortStall(12, 10), Outcome::Fails, "BulkIn failed!address  0"},
        // The stored shading cannot reach the controller: no unshaded page.
        FaultCase{"shadingDownloadFails", {kChart}, FailedRun(kOut, 3, 10), Outcome::Fails, "Write Register failed! 03=00",
                  true},
        // The scanner goes away mid-sheet: the stop and sensor restore fail as well, but the
        // client reads what failed first.
        FaultCase{"unpluggedMidSheetFails", {kChart}, Unplugged(400, 3000), Outcome::Fails, "BulkIn failed!"},
        // The cover is opened while the chart still reaches back to the entrance.
        FaultCase{"coverOpenedOnTheSheetFails", {kChart}, AtPosition(vs::FaultType::CoverOpen, 800, 2000),
                  Outcome::Fails, "上盖打开"},
        // The ticket stops with its tail past the entrance, a chart waiting in the tray.
        FaultCase{"ticketJammedFails", {kTicket, kChart}, AtPosition(vs::FaultType::Jam, 1450), Outcome::Fails,
                  "塞纸"},
        // The last ticket stops with the cover open: the tray input cannot tell which.
        FaultCase{"lastTicketHeldByTheCoverFails", {kTicket}, AtPosition(vs::FaultType::CoverOpen, 1450, 2000),
                  Outcome::Fails, "塞纸或上盖打开"}),
    [](const auto& param) { return std::string(param.param.name); });

// The scanner goes away during one of the client's other calls for a sheet: the call fails with
// the text of what failed first, leaves the device closed, and the client's stop that follows
// (which cannot reach the controller either) keeps that text. Once the scanner is back, the next
// sheet scans.
enum class ClientStep { SetParams, Start, Feed };

struct StepFaultCase {
    const char* name;
    ClientStep step;
    uint64_t transfer;  // the transfer of the step from which the scanner is gone
    const char* text;   // how the status text the client reads begins
    friend void PrintTo(const StepFaultCase& c, std::ostream* os) { *os << c.name; }
};

class ClientStepFault : public ::testing::TestWithParam<StepFaultCase> {};

TEST_P(ClientStepFault, FailsWithItsCauseClosesTheDeviceAndTheStopKeepsIt) {
    const StepFaultCase& c = GetParam();
    const ClientScan scan;
    SheetScanRig rig({kChart, kChart}, "step");
    g_heardFrom = &rig.ctx();
    g_heard.clear();
    if (c.step != ClientStep::SetParams) {
        ASSERT_EQ(rig.SetParams(scan, HearStatus), 0);
    }
    if (c.step == ClientStep::Feed) {
        ASSERT_EQ(rig.ScanSheet(scan).result, 2);
    }
    g_heard.clear();
    rig.scanner().addFault(Unplugged(c.transfer, 3000));
    const int32_t result = c.step == ClientStep::SetParams ? rig.SetParams(scan, HearStatus)
                           : c.step == ClientStep::Start   ? interface::ScanStart(rig.ctx())
                                                           : rig.Feed();
    ASSERT_EQ(result, 1);
    ScanInfo info{};
    interface::ScanGetScanInfo(rig.ctx(), &info);
    const std::string text = info.statusText;
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    EXPECT_EQ(text, FirstFailureHeard()) << "the client reads the first failure, not the clean-up's";
    EXPECT_FALSE(rig.ctx().connection.pipe) << "the device is closed";

    EXPECT_EQ(rig.Stop(), 0);
    interface::ScanGetScanInfo(rig.ctx(), &info);
    EXPECT_EQ(std::string(info.statusText), text) << "stopping keeps the cause";

    rig.scratch().clock().sleep(5000);
    ASSERT_EQ(rig.SetParams(scan, HearStatus), 0) << rig.ctx().record.messageText;
    const ScannedPage next = rig.ScanSheet(scan);
    EXPECT_EQ(next.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(next.lines, 1892);
}

INSTANTIATE_TEST_SUITE_P(
    Sheet, ClientStepFault,
    ::testing::Values(StepFaultCase{"goneDuringTheSetUp", ClientStep::SetParams, 20, "Write Register failed!"},
                      // After the acquisition has opened: the stop then fails to stop the controller.
                      StepFaultCase{"goneWhileStarting", ClientStep::Start, 75, "Write Register failed!"},
                      StepFaultCase{"goneDuringTheFeed", ClientStep::Feed, 20, "Read Register failed!"}),
    [](const auto& param) { return std::string(param.param.name); });

// A communication failure in the middle of a calibration: whatever the forced feed that clears
// the path afterwards reports (it may run out its polls and call it a jam), the client reads the
// failure that ended the calibration.
TEST(CalibrationFault, TheClientReadsTheFailureNotTheClearingFeed) {
    SheetScanRig rig({Page("white")}, "calibration");
    const ClientScan scan;
    g_heardFrom = &rig.ctx();
    ASSERT_EQ(rig.SetParams(scan, HearStatus), 0);
    g_heard.clear();
    rig.scanner().addFault(FailedRun(kIn, 350, 10));
    EXPECT_EQ(interface::ScanCalibration(rig.ctx()), 1);
    ScanInfo info{};
    interface::ScanGetScanInfo(rig.ctx(), &info);
    EXPECT_EQ(std::string(info.statusText), FirstFailureHeard());
    EXPECT_EQ(std::string(info.statusText).rfind("Read Register failed!", 0), 0u) << info.statusText;
    EXPECT_FALSE(rig.ctx().connection.pipe) << "the device is closed";
}

}  // namespace
}  // namespace ordavel::engine
