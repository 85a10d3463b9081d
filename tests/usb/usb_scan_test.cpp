// Calibration and sheet scans through the driver's real libusb backend, the virtual scanner
// presented as a USB device: the pages match the paper and are byte for byte what the in-process
// path delivers, also when endpoints halt and transfers come back short or fail; a scanner
// unplugged mid-sheet fails the sheet with the transfer's text and works again once it is back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "driver/interface/export_operations.h"
#include "platform/usb_device_backend.h"
#include "tests/support/sheet_scan_rig.h"
#include "tests/usb/usb_scanner_device.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

vs::SheetConfig Page(const char* name) {
    vs::SheetConfig sheet;
    sheet.page = name;
    return sheet;
}

const std::vector<vs::SheetConfig> kWhiteThenChart = {Page("white"), Page("chart")};
const std::vector<vs::SheetConfig> kTwoCharts = {Page("chart"), Page("chart")};

// The rig's scanner presented as a USB device and reached through the libusb backend alone. The
// device outlives the rig: the driver's context may still hold the device open when the rig goes,
// and its last requests (releasing the interface) must find the device there to answer them.
struct UsbScanDesk {
    std::unique_ptr<UsbScannerDevice> device;
    SheetScanRig rig;

    UsbScanDesk(std::vector<vs::SheetConfig> sheets, const std::string& tag)
        : rig(std::move(sheets), tag, RigAttachment::ByTest) {
        device = std::make_unique<UsbScannerDevice>(rig.sharedScanner(), ScannerIdentity());
        rig.scratch().devices().addBackend(platform::MakeUsbDeviceBackend());
    }
};

// Sets the client's grey window, calibrates on the first sheet when asked, and scans the next.
ScannedPage ScanChart(SheetScanRig& rig, bool calibrate, const std::function<void()>& beforeScan = {}) {
    const ClientScan scan;
    EXPECT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    if (calibrate) {
        EXPECT_EQ(interface::ScanCalibration(rig.ctx()), 0) << rig.ctx().record.messageText;
        EXPECT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    }
    if (beforeScan) beforeScan();
    return rig.ScanSheet(scan);
}

// The same sheets through the in-process backend: what the USB path must deliver.
const ScannedPage& InProcessPage(bool calibrated) {
    static std::optional<ScannedPage> pages[2];
    std::optional<ScannedPage>& page = pages[calibrated ? 1 : 0];
    if (!page) {
        SheetScanRig rig(calibrated ? kWhiteThenChart : kTwoCharts, "inprocess");
        page = ScanChart(rig, calibrated);
    }
    return *page;
}

void ExpectTheInProcessPage(SheetScanRig& rig, const ScannedPage& page, bool calibrated) {
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
    EXPECT_GT(GreyAgreement(rig, page, ClientRequest(ClientScan{})), 0.97) << "the page follows the paper";
    EXPECT_EQ(page.lines, InProcessPage(calibrated).lines);
    EXPECT_TRUE(page.bytes == InProcessPage(calibrated).bytes) << "the page differs from the in-process one";
}

TEST(UsbScan, CalibratesAndScansAsTheInProcessPathDoes) {
    UsbScanDesk desk(kWhiteThenChart, "usbcalibrate");
    ASSERT_TRUE(desk.device->ready());
    const ScannedPage page = ScanChart(desk.rig, true);
    ExpectTheInProcessPage(desk.rig, page, true);
    const UsbTraffic traffic = desk.device->traffic();
    EXPECT_GT(traffic.bulkIn, 500u) << "the calibration and the page came over the USB device";
    EXPECT_GE(traffic.claims, 2u) << "calibration and scan each opened the device";
    EXPECT_EQ(traffic.stalls, 0u);
}

struct PathCase {
    const char* name;
    std::vector<uint8_t> haltedEndpoints;  // halted just before the sheet's scan
    std::optional<vs::Fault> fault;        // added just before the sheet's scan
    bool cutsCommands = false;             // the chip sees the commands the fault cut short
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class UsbScanPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(UsbScanPath, DeliversThePageOfTheInProcessPath) {
    const PathCase& c = GetParam();
    UsbScanDesk desk(kTwoCharts, "usbscan");
    ASSERT_TRUE(desk.device->ready());
    SheetScanRig& rig = desk.rig;
    if (c.cutsCommands) rig.tolerateProtocolErrors();

    const ScannedPage page = ScanChart(rig, false, [&] {
        for (const uint8_t endpoint : c.haltedEndpoints) desk.device->haltEndpoint(endpoint);
        if (c.fault) rig.scanner().addFault(*c.fault);
    });
    ExpectTheInProcessPage(rig, page, false);
    if (c.fault) {
        const auto& counters = rig.scanner().observations().counters;
        EXPECT_GT(counters.failedTransfers + counters.shortTransfers, 0u) << "the fault came to pass";
    }
    const UsbTraffic traffic = desk.device->traffic();
    EXPECT_EQ(traffic.stalls, c.haltedEndpoints.size());
    EXPECT_EQ(traffic.haltsCleared, c.haltedEndpoints.size()) << "each halt is cleared once, then retried";
}

INSTANTIATE_TEST_SUITE_P(
    Usb, UsbScanPath,
    ::testing::Values(
        PathCase{"HaltedInEndpoint", {0x82}, std::nullopt},
        PathCase{"HaltedOutEndpoint", {0x03}, std::nullopt},
        PathCase{"HaltedBothEndpoints", {0x03, 0x82}, std::nullopt},
        PathCase{"ShortReads", {}, ByChance(vs::FaultType::ShortTransfer, vs::TransferDirection::In, 0.05)},
        PathCase{"FailedReads", {}, ByChance(vs::FaultType::FailTransfer, vs::TransferDirection::In, 0.02)},
        // A write the device took only part of is a failed write; the chip sees the cut command.
        PathCase{"ShortWrites", {}, ByChance(vs::FaultType::ShortTransfer, vs::TransferDirection::Out, 0.02), true},
        PathCase{"FailedWrites", {}, ByChance(vs::FaultType::FailTransfer, vs::TransferDirection::Out, 0.02)}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UsbUnplug, MidSheetFailsTheSheetAndTheScannerWorksOnceBack) {
    UsbScanDesk desk(kTwoCharts, "usbunplug");
    ASSERT_TRUE(desk.device->ready());
    SheetScanRig& rig = desk.rig;
    const ClientScan scan;
    ASSERT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    vs::Fault unplug;
    unplug.type = vs::FaultType::Disconnect;
    unplug.transfer = 400;
    unplug.durationMs = 3000;
    rig.scanner().addFault(unplug);
    const ScannedPage broken = rig.ScanSheet(scan);
    ASSERT_EQ(broken.result, 1) << "a page cut off by the unplug was delivered as complete";
    EXPECT_EQ(std::string(rig.ctx().record.messageText).rfind("BulkIn failed!", 0), 0u) << rig.ctx().record.messageText;
    EXPECT_FALSE(rig.ctx().connection.pipe) << "the device is closed";
    EXPECT_EQ(rig.Stop(), 0);

    rig.scratch().clock().sleep(5000);  // plugged in again
    ASSERT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    const ScannedPage next = rig.ScanSheet(scan);
    EXPECT_EQ(next.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(next.lines, 1892);
    EXPECT_GT(GreyAgreement(rig, next, ClientRequest(scan)), 0.97) << "the next sheet follows the paper";
}

}  // namespace
}  // namespace ordavel::test
