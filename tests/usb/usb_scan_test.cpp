// A whole calibration and sheet scan through the driver's real libusb backend, the virtual
// scanner presented as a USB device: the page matches the paper and has the size of the page the
// in-process path delivers, also when endpoints halt, transfers come back short or fail;
// a scanner unplugged mid-sheet fails the sheet and works again once it is back.
#include <gtest/gtest.h>

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

// Calibrates on the white sheet, then scans the chart in the client's grey window.
ScannedPage CalibrateAndScan(SheetScanRig& rig, const std::function<void()>& beforeScan = {}) {
    const ClientScan scan;
    EXPECT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    EXPECT_EQ(interface::ScanCalibration(rig.ctx()), 0) << rig.ctx().record.messageText;
    EXPECT_EQ(rig.SetParams(scan), 0) << rig.ctx().record.messageText;
    if (beforeScan) beforeScan();
    return rig.ScanSheet(scan);
}

// The same sheets through the in-process backend: what the USB path must deliver.
const ScannedPage& InProcessPage() {
    static const ScannedPage page = [] {
        SheetScanRig rig(kWhiteThenChart, "inprocess");
        return CalibrateAndScan(rig);
    }();
    return page;
}

vs::Fault ByChance(vs::FaultType type, vs::TransferDirection direction, double probability) {
    vs::Fault f;
    f.type = type;
    f.direction = direction;
    f.probability = probability;
    f.repeat = 0;
    return f;
}

struct PathCase {
    const char* name;
    std::vector<uint8_t> haltedEndpoints;  // halted just before the sheet's scan
    std::optional<vs::Fault> fault;        // added just before the sheet's scan
};

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

class UsbScanPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(UsbScanPath, DeliversThePageOfTheInProcessPath) {
    const PathCase& c = GetParam();
    UsbScanDesk desk(kWhiteThenChart, "usbscan");
    ASSERT_TRUE(desk.device->ready());
    SheetScanRig& rig = desk.rig;
    UsbScannerDevice& device = *desk.device;

    const ScannedPage page = CalibrateAndScan(rig, [&] {
        for (const uint8_t endpoint : c.haltedEndpoints) device.haltEndpoint(endpoint);
        if (c.fault) rig.scanner().addFault(*c.fault);
    });
    ASSERT_EQ(page.result, 2) << rig.ctx().record.messageText;
    EXPECT_GT(GreyAgreement(rig, page, ClientRequest(ClientScan{})), 0.97);
    EXPECT_EQ(page.lines, InProcessPage().lines);

    const UsbTraffic traffic = device.traffic();
    EXPECT_GT(traffic.bulkIn, 500u) << "the page came over the USB device";
    EXPECT_EQ(traffic.stalls, c.haltedEndpoints.size());
    EXPECT_EQ(traffic.haltsCleared, c.haltedEndpoints.size()) << "each halt is cleared once, then retried";
}

INSTANTIATE_TEST_SUITE_P(
    Usb, UsbScanPath,
    ::testing::Values(PathCase{"Clean", {}, std::nullopt},
                      PathCase{"HaltedInEndpoint", {0x82}, std::nullopt},
                      PathCase{"HaltedOutEndpoint", {0x03}, std::nullopt},
                      PathCase{"ShortReads", {}, ByChance(vs::FaultType::ShortTransfer, vs::TransferDirection::In, 0.05)},
                      PathCase{"FailedReads", {}, ByChance(vs::FaultType::FailTransfer, vs::TransferDirection::In, 0.02)}),
    [](const auto& param) { return std::string(param.param.name); });

// Disabled: the driver's clean-up after the unplug does not finish against the presented device
// yet (under investigation).
TEST(UsbUnplug, MidSheetFailsTheSheetAndTheScannerWorksOnceBack) {
    UsbScanDesk desk({Page("chart"), Page("chart")}, "usbunplug");
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
}

}  // namespace
}  // namespace ordavel::test
