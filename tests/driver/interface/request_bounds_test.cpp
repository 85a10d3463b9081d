// Scan requests off the bed, through the exports against the reference virtual scanner: from
// ScanSetScanParams and from "Mirt.ini", each is refused with its cause before the device is
// opened or anything moves, and a sane request scans afterwards.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "tests/support/sheet_scan_rig.h"

namespace ordavel::test {
namespace {

struct OffBedCase {
    const char* name;
    std::function<void(ScanRequest&)> change;
    const char* cause;               // the start of the status text
    const char* startCause = nullptr;  // ScanStart's, when it differs
};

class OffBedRequest : public ::testing::TestWithParam<OffBedCase> {};

TEST_P(OffBedRequest, IsRefusedBeforeAnythingMovesAndTheNextScanWorks) {
    SheetScanRig rig({SheetScanRig::Chart()});
    ScanRequest bad = ClientRequest(ClientScan{ClientWindow::Wide, true, false, 1});
    GetParam().change(bad);
    EXPECT_EQ(interface::ScanSetScanParams(rig.ctx(), &bad, nullptr), 1);
    EXPECT_EQ(std::string(rig.ctx().record.messageText).rfind(GetParam().cause, 0), 0u) << rig.ctx().record.messageText;
    // ScanStart refuses the same request (as one read from "Mirt.ini" would be).
    EXPECT_EQ(interface::ScanStart(rig.ctx()), 1);
    const char* startCause = GetParam().startCause != nullptr ? GetParam().startCause : GetParam().cause;
    EXPECT_EQ(std::string(rig.ctx().record.messageText).rfind(startCause, 0), 0u) << rig.ctx().record.messageText;
    EXPECT_EQ(rig.ctx().connection.pipe, nullptr);
    EXPECT_EQ(rig.scanner().motorPosition(), 0) << "the sheet moved";

    const ScanRequest good = ClientRequest(ClientScan{});
    ASSERT_EQ(rig.SetParams(good), 0) << rig.ctx().record.messageText;
    const ScannedPage page = rig.ScanSheet(good);
    EXPECT_EQ(page.result, 2) << rig.ctx().record.messageText;
    EXPECT_EQ(page.lines, 1892);
}

constexpr const char* kOutside = "Scan window outside the bed";

INSTANTIATE_TEST_SUITE_P(
    Requests, OffBedRequest,
    ::testing::Values(
        // Once accepted and scanned: hundreds of megabytes of travel past the sheet.
        OffBedCase{"bottomFarBelowTheBed", [](ScanRequest& r) { r.scanRectBottom = 300000; }, kOutside},
        OffBedCase{"windowAtTheIntegerLimits",
                   [](ScanRequest& r) {
                       r.scanRectLeft = INT_MIN;
                       r.scanRectRight = INT_MAX;
                       r.scanRectTop = INT_MIN;
                       r.scanRectBottom = INT_MAX;
                   },
                   kOutside},
        OffBedCase{"bedAndWindowAtTheIntegerLimits",
                   [](ScanRequest& r) {
                       r.bedLeft = r.scanRectLeft = INT_MIN;
                       r.bedRight = r.scanRectRight = INT_MAX;
                   },
                   kOutside},
        OffBedCase{"bedWithoutExtent", [](ScanRequest& r) { r.bedRight = r.bedLeft; }, kOutside},
        // 1,420 pixels at 100 dpi are 14.2 inches: wider than the 8.4-inch sensor.
        OffBedCase{"windowWiderThanTheSensorAtItsResolution", [](ScanRequest& r) { r.xResolution = 100; }, kOutside},
        OffBedCase{"windowLongerThanTheScanLength", [](ScanRequest& r) { r.yResolution = 100; }, kOutside},
        OffBedCase{"zeroResolution", [](ScanRequest& r) { r.xResolution = 0; }, "Scan resolution out of range"},
        OffBedCase{"hugeResolution", [](ScanRequest& r) { r.yResolution = INT_MAX; }, "Scan resolution out of range"},
        OffBedCase{"enlargedImageWiderThanTheBed",
                   [](ScanRequest& r) {
                       r.res = 1;
                       r.imageWidth = INT_MAX;
                   },
                   // The session's own copy of the width is refused first at the start.
                   "Enlarged image larger than the bed", "Cannot deliver enlarged image"},
        OffBedCase{"enlargedImageLongerThanTheBed",
                   [](ScanRequest& r) {
                       r.res = 1;
                       r.imageHeight = 100000000;
                   },
                   "Enlarged image larger than the bed"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(OffBedSettingsFile, MirtIniWindowOffTheBedIsRefusedAtStart) {
    SheetScanRig rig({SheetScanRig::Chart()});
    rig.scratch().writeFile(rig.scratch().tempDir() + "/Mirt.ini",
                            "[Scan Settings]\nscanRect.Left=0\nscanRect.right=1680\nscanRect.top=0\n"
                            "scanRect.bottom=2147483647\npixelType=1\nbitDepth=8\n");
    interface::AttachLibrary(rig.ctx(), nullptr);
    EXPECT_EQ(interface::ScanStart(rig.ctx()), 1);
    EXPECT_EQ(std::string(rig.ctx().record.messageText).rfind(kOutside, 0), 0u) << rig.ctx().record.messageText;
    EXPECT_EQ(rig.scanner().motorPosition(), 0) << "the sheet moved";
    const ScanRequest good = ClientRequest(ClientScan{});
    ASSERT_EQ(rig.SetParams(good), 0) << rig.ctx().record.messageText;
    EXPECT_EQ(rig.ScanSheet(good).result, 2) << rig.ctx().record.messageText;
}

}  // namespace
}  // namespace ordavel::test
