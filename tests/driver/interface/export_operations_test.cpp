// Export semantics on fresh contexts: parameters, capabilities, hardware, scan state rules and
// failures passed through from the layers below.
#include "driver/interface/export_operations.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "driver/interface/capabilities.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/session.h"
#include "tests/support/test_context.h"

namespace ordavel::interface {
namespace {

using test::TestContext;

ScanRequest GreySheet() {
    ScanRequest r{};
    r.lineOrder = 1;
    r.bedRight = 1680;
    r.bedBottom = 2340;
    r.scanRectLeft = 130;
    r.scanRectRight = 1550;
    r.scanRectBottom = 1892;
    r.pixelType = 1;
    r.bitDepth = 8;
    r.xResolution = 200;
    r.yResolution = 200;
    r.res = 1;
    r.imageWidth = 2130;
    r.imageHeight = 2838;
    return r;
}

int g_callbackKinds[2];
int32_t CountingCallback(int32_t kind) {
    if (kind >= 0 && kind < 2) ++g_callbackKinds[kind];
    return 0;
}

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        driver.installReferenceFiles();
        AttachLibrary(ctx(), this);
        g_callbackKinds[0] = g_callbackKinds[1] = 0;
    }
    DriverContext& ctx() { return driver.ctx(); }
    Session& session() { return *ctx().session; }
    ScanRequest current() {
        ScanRequest r{};
        EXPECT_EQ(ScanGetScanParams(ctx(), &r), 0);
        return r;
    }
    std::vector<int32_t> capability(int32_t id, int32_t input, int32_t expectedResult) {
        std::vector<int32_t> out(32768, -1);
        int32_t count = -1;
        EXPECT_EQ(ScanGetCapability(ctx(), id, &input, out.data(), &count), expectedResult) << "id " << id;
        out.resize(static_cast<std::size_t>(std::max(count, 0)));
        return out;
    }
    std::string status() {
        ScanInfo info{};
        EXPECT_EQ(ScanGetScanInfo(ctx(), &info), 0);
        return info.statusText;
    }

    TestContext driver{"exports"};
};

TEST_F(Exports, AttachWithoutSettingsFileGivesDefaults) {
    const ScanRequest r = current();
    std::array<int32_t, 18> w{};
    std::memcpy(w.data(), &r, sizeof r);
    EXPECT_EQ(w, (std::array<int32_t, 18>{1, 0, 0, 1680, 2340, 0, 0, 1680, 2340, 1, 8, 200, 200, 1, 1, 0, 300, 500}));
    EXPECT_EQ(session().res, 0);
    EXPECT_EQ(session().moduleHandle, this);
}

TEST_F(Exports, CapabilityLists) {
    EXPECT_EQ(capability(kHorizontalResolutions, 0, 0), (std::vector<int32_t>{200, 300}));
    EXPECT_EQ(capability(kVerticalResolutions, 0, 0), (std::vector<int32_t>{200, 300}));
    EXPECT_EQ(capability(kPixelTypes, 0, 0), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(capability(kBitDepths, 0, 0), std::vector<int32_t>{1});
    EXPECT_EQ(capability(kBitDepths, 1, 0), std::vector<int32_t>{8});
    EXPECT_TRUE(capability(kBitDepths, 2, 1).empty());
    EXPECT_TRUE(capability(6, 0, 1).empty());
    EXPECT_TRUE(capability(-1, 0, 1).empty());
}

TEST_F(Exports, CapabilityEnlargedSizeFromDescription) {
    // 200 x 1680 / 200 x 3 / 2 and 200 x 2340 / 200 x 3 / 2.
    EXPECT_EQ(capability(kEnlargedWidth, 0, 0), std::vector<int32_t>{2520});
    EXPECT_EQ(capability(kEnlargedHeight, 0, 0), std::vector<int32_t>{3510});
}

TEST_F(Exports, CapabilityEnlargedSizeFailsWithHardwareQuery) {
    std::remove(driver.temp().file("Mirt9832.dsc").c_str());
    EXPECT_TRUE(capability(kEnlargedWidth, 0, 1).empty());
    EXPECT_TRUE(capability(kEnlargedHeight, 0, 1).empty());
}

struct ExtentCase {
    int32_t resolution, size, optical, expected;
};

class Extent : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(Extent, DividesInTheStatedOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(EnlargedExtent(c.resolution, c.size, c.optical), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, Extent,
                         ::testing::Values(ExtentCase{200, 5100, 600, 2550}, ExtentCase{200, 1680, 200, 2520},
                                           ExtentCase{300, 1681, 200, 3781},   // 2521 x 3 / 2
                                           ExtentCase{1, 1, 3, 0}, ExtentCase{100000, 100000, 10, 1500000000},
                                           ExtentCase{5, 5, 0, 0}));

TEST_F(Exports, HardwareSummaryOfReferenceDescription) {
    ScanHardware hw{};
    ASSERT_EQ(ScanGetScanHardware(ctx(), &hw), 0);
    EXPECT_EQ(hw.pixelWidth, 1680);
    EXPECT_EQ(hw.pixelLength, 2340);
    EXPECT_EQ(hw.opticalResolution, 200);
    EXPECT_EQ(hw.chip, 1);
    EXPECT_STREQ(hw.deviceName, "Mirt Sheet Scanner");
    EXPECT_EQ(hw.resolutions[7], 200);
}

TEST_F(Exports, HardwareFailureClearsOnlyTheFirstWord) {
    driver.temp().write("Mirt.def", "[SETUP]\n");
    ScanHardware hw{};
    std::memset(&hw, 0x7F, sizeof hw);
    EXPECT_EQ(ScanGetScanHardware(ctx(), &hw), 1);
    EXPECT_EQ(hw.pixelWidth, 0);
    EXPECT_EQ(hw.pixelLength, 0x7F7F7F7F);
    EXPECT_EQ(status(), "ScannerFile= not found in Mirt.def");
}

TEST_F(Exports, RefusedParametersStickInTheSessionOnly) {
    const ScanRequest before = current();
    ScanRequest bad = GreySheet();
    bad.pixelType = 0;
    bad.bitDepth = 8;
    EXPECT_EQ(ScanSetScanParams(ctx(), &bad, &CountingCallback), 1);
    EXPECT_EQ(std::memcmp(&before, &ctx().engine.request, sizeof before), 0) << "request unchanged";
    EXPECT_EQ(session().pixelType, 0);
    EXPECT_EQ(session().res, 1);
    EXPECT_EQ(session().imageWidth, 2130);
    EXPECT_EQ(session().imageHeight, 2838);
    EXPECT_EQ(ctx().record.statusCallback, &CountingCallback);
}

TEST_F(Exports, UnofferedPixelTypeRefused) {
    ScanRequest colour = GreySheet();
    colour.pixelType = 2;
    colour.bitDepth = 24;
    EXPECT_EQ(ScanSetScanParams(ctx(), &colour, nullptr), 1);
    EXPECT_EQ(current().pixelType, 1);
}

TEST_F(Exports, AcceptedParametersAreCopiedBeforeTheSetUpRuns) {
    const ScanRequest wanted = GreySheet();
    // The set-up layer is not built in this tree, so the call fails after copying the record.
    const int32_t result = ScanSetScanParams(ctx(), &wanted, &CountingCallback);
    const ScanRequest r = current();
    EXPECT_EQ(std::memcmp(&wanted, &r, sizeof r), 0);
    if (result != 0) {
        EXPECT_GE(g_callbackKinds[0], 1) << "a failure always comes with a status text";
    }
}

TEST_F(Exports, ParametersRefusedWhileScanning) {
    session().scanning = true;
    ScanRequest ok = GreySheet();
    EXPECT_EQ(ScanSetScanParams(ctx(), &ok, nullptr), 1);
    EXPECT_NE(current().res, 1);
}

TEST_F(Exports, ReadBeforeStartLeavesGotUntouched) {
    std::vector<uint8_t> buffer(65536, 0xEE);
    int32_t got = 1234;
    EXPECT_EQ(ScanRead(ctx(), buffer.data(), 65536, &got), 1);
    EXPECT_EQ(got, 1234);
    EXPECT_EQ(buffer[0], 0xEE);
}

TEST_F(Exports, StartTwiceSecondDoesNothing) {
    session().scanning = true;
    ctx().record.messageText[0] = '\0';
    EXPECT_EQ(ScanStart(ctx()), 0);
    EXPECT_TRUE(session().scanning);
    EXPECT_EQ(status(), "");
}

TEST_F(Exports, FailedStartLeavesScanningOffAndReports) {
    ScanRequest req = GreySheet();
    session().SetParams(ctx(), req, &CountingCallback);
    g_callbackKinds[0] = 0;
    const int32_t result = ScanStart(ctx());
    if (result != 0) {
        EXPECT_FALSE(session().scanning);
        EXPECT_GE(g_callbackKinds[0], 1);
        EXPECT_NE(status(), "");
    }
}

TEST_F(Exports, StartWithMissingDescriptionFails) {
    std::remove(driver.temp().file("Mirt9832.dsc").c_str());
    EXPECT_EQ(ScanStart(ctx()), 1);
    EXPECT_FALSE(session().scanning);
}

TEST_F(Exports, StartRefusesEnlargementWithoutDeliveredLine) {
    ScanRequest bad = GreySheet();
    bad.pixelType = 2;  // refused, but sticks in the session
    ScanSetScanParams(ctx(), &bad, nullptr);
    std::remove(driver.temp().file("Mirt9832.dsc").c_str());
    EXPECT_EQ(ScanStart(ctx()), 1);
    EXPECT_FALSE(session().scanning);
    EXPECT_EQ(ctx().description.Chip, 1) << "refused before the description is reloaded";
    EXPECT_NE(ctx().hardware.pixelWidth, 0) << "a reload attempt would have cleared the summary";
}

TEST_F(Exports, StartSizesPendingLineForWideGreyImages) {
    ScanRequest wide = GreySheet();
    wide.xResolution = 300;  // a bed 3,780 enlarged pixels wide
    wide.imageWidth = 3001;
    ScanSetScanParams(ctx(), &wide, nullptr);
    ScanStart(ctx());
    EXPECT_GE(session().carry.pendingLine.size(), 3004u);
}

TEST_F(Exports, StopEndsTheScanAndReturnsZero) {
    session().scanning = true;
    session().linesDelivered = 40;
    session().carry.pending = true;
    EXPECT_EQ(ScanStop(ctx()), 0);
    EXPECT_FALSE(session().scanning);
    EXPECT_EQ(session().linesDelivered, 0);
    EXPECT_FALSE(session().carry.pending);
    EXPECT_EQ(ScanStop(ctx()), 0) << "stopping with no scan is harmless";
}

TEST_F(Exports, CalibrationDuringScanEndsItAndFails) {
    session().scanning = true;
    EXPECT_EQ(ScanCalibration(ctx()), 1);
    EXPECT_FALSE(session().scanning);
}

TEST_F(Exports, CalibrationWithoutDescriptionFails) {
    driver.temp().write("Mirt.def", "[SETUP]\nScannerFile=none.dsc\n");
    EXPECT_EQ(ScanCalibration(ctx()), 1);
    EXPECT_FALSE(session().scanning);
}

TEST_F(Exports, ScanInfoCarriesLatestStatusText) {
    std::strcpy(ctx().record.messageText, "扫描仪准备好");
    ctx().engine.info.totalBytes = 99;
    ScanInfo info{};
    ASSERT_EQ(ScanGetScanInfo(ctx(), &info), 0);
    EXPECT_STREQ(info.statusText, "扫描仪准备好");
    EXPECT_EQ(info.totalBytes, 99);
}

TEST_F(Exports, DetachDestroysTheSession) {
    DetachLibrary(ctx());
    EXPECT_EQ(ctx().session, nullptr);
}

TEST(ExportsFresh, DetachCreatesThenDestroysAnAbsentSession) {
    TestContext driver("exports");
    DetachLibrary(driver.ctx());
    EXPECT_EQ(driver.ctx().session, nullptr);
    EXPECT_STREQ(driver.ctx().record.messageText, "ScannerFile= not found in Mirt.def");
}

TEST(ExportsFresh, AttachReadsSettingsFile) {
    TestContext driver("exports");
    driver.temp().write("Mirt.ini", "[Scan Settings]\nres=1\npixelType=0\nbitDepth=1\nimageWidth300=1650\nimageHeight300=2838\n");
    AttachLibrary(driver.ctx(), nullptr);
    ScanRequest r{};
    ScanGetScanParams(driver.ctx(), &r);
    EXPECT_EQ(r.res, 1);
    EXPECT_EQ(r.pixelType, 0);
    EXPECT_EQ(r.imageWidth, 1650);
    EXPECT_EQ(driver.ctx().session->res, 0) << "the session's res stays 0 until parameters are set";
}

}  // namespace
}  // namespace ordavel::interface
