// The session: construction, the scan-settings file, and the state rules of start, stop,
// parameters and calibration (with the engine layers that fail until they are built).
#include "driver/interface/session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <array>
#include <cstring>
#include <vector>

#include "driver/interface/driver_context.h"
#include "driver/interface/scan_settings.h"
#include "tests/support/test_context.h"

namespace ordavel::interface {
namespace {

using test::TestContext;

std::vector<int32_t> Words(const ScanRequest& r) {
    std::array<int32_t, 18> w{};
    std::memcpy(w.data(), &r, sizeof r);
    return {w.begin(), w.end()};
}

TEST(SessionConstruction, ListsAndDefaults) {
    TestContext driver("session");
    Session* s = GetSession(driver.ctx());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(GetSession(driver.ctx()), s) << "one session per context";
    EXPECT_FALSE(s->scanning);
    EXPECT_EQ(s->horizontalResolutions, (std::vector<int32_t>{200, 300}));
    EXPECT_EQ(s->verticalResolutions, (std::vector<int32_t>{200, 300}));
    ASSERT_EQ(s->pixelTypes.size(), 2u);
    EXPECT_EQ(s->pixelTypes[0].type, 0);
    EXPECT_EQ(s->pixelTypes[0].depths, std::vector<int32_t>{1});
    EXPECT_EQ(s->pixelTypes[1].type, 1);
    EXPECT_EQ(s->pixelTypes[1].depths, std::vector<int32_t>{8});
    EXPECT_EQ(s->pixelType, 1);
    EXPECT_EQ(s->res, 0);
    EXPECT_EQ(s->imageWidth, 0);
    EXPECT_EQ(s->imageHeight, 0);
    EXPECT_FALSE(s->carry.pending);
    EXPECT_EQ(s->carry.pendingLine, std::vector<uint8_t>(2600, 0));
}

TEST(SessionConstruction, LoadsDescriptionOnce) {
    TestContext driver("session");
    driver.installReferenceFiles();
    GetSession(driver.ctx());
    EXPECT_EQ(driver.ctx().hardware.pixelWidth, 1680);
    EXPECT_EQ(driver.ctx().description.Chip, 1);
}

TEST(SessionConstruction, FailedDescriptionLeavesOnlyItsMessage) {
    TestContext driver("session");
    ASSERT_NE(GetSession(driver.ctx()), nullptr);
    EXPECT_STREQ(driver.ctx().record.messageText, "ScannerFile= not found in Mirt.def");
}

TEST(SessionConstruction, DestroyClearsTheContextsSession) {
    TestContext driver("session");
    GetSession(driver.ctx());
    DestroySession(driver.ctx());
    EXPECT_EQ(driver.ctx().session, nullptr);
    EXPECT_NE(GetSession(driver.ctx()), nullptr);
}

TEST(ScanSettingsFile, AbsentFileOrADirectoryOfItsNameGivesDocumentedDefaults) {
    for (const bool directory : {false, true}) {
        TestContext driver("settings");
        // A directory named like the file holds no settings (it once counted as a file of zeros).
        if (directory) std::filesystem::create_directory(driver.temp().file("Mirt.ini"));
        ASSERT_TRUE(LoadScanSettings(driver.ctx()));
        EXPECT_EQ(Words(driver.ctx().engine.request),
                  (std::vector<int32_t>{1, 0, 0, 1680, 2340, 0, 0, 1680, 2340, 1, 8, 200, 200, 1, 1, 0, 300, 500}))
            << (directory ? "directory" : "absent");
    }
}

TEST(ScanSettingsFile, KeysFillTheRequest) {
    TestContext driver("settings");
    driver.temp().write("Mirt.ini",
                        "[Scan Settings]\nscanRect.Left=284\nscanRect.right=1384\nscanRect.top=5\n"
                        "scanRect.bottom=1892\nres=0\npixelType=0\nbitDepth=1\nimageWidth=1650\n"
                        "imageHeight=2838\nimageWidth300=7\nimageHeight300=8\n");
    ASSERT_TRUE(LoadScanSettings(driver.ctx()));
    EXPECT_EQ(Words(driver.ctx().engine.request),
              (std::vector<int32_t>{1, 0, 0, 1680, 2340, 284, 5, 1384, 1892, 0, 1, 200, 200, 1, 1, 0, 1650, 2838}));
}

TEST(ScanSettingsFile, ResOneTakesThe300Keys) {
    TestContext driver("settings");
    driver.temp().write("Mirt.ini",
                        "[SCAN SETTINGS]\nRES=1\npixelType=1\nbitDepth=8\nimageWidth=1\nimageHeight=2\n"
                        "imageWidth300=2130\nimageHeight300=2838\n");
    ASSERT_TRUE(LoadScanSettings(driver.ctx()));
    const ScanRequest& r = driver.ctx().engine.request;
    EXPECT_EQ(r.res, 1);
    EXPECT_EQ(r.imageWidth, 2130);
    EXPECT_EQ(r.imageHeight, 2838);
}

TEST(ScanSettingsFile, MissingKeysReadZeroAndAreNotValidated) {
    TestContext driver("settings");
    driver.temp().write("Mirt.ini", "[Scan Settings]\nscanRect.right=100\n");
    ASSERT_TRUE(LoadScanSettings(driver.ctx()));
    EXPECT_EQ(Words(driver.ctx().engine.request),
              (std::vector<int32_t>{1, 0, 0, 1680, 2340, 0, 0, 100, 0, 0, 0, 200, 200, 1, 1, 0, 0, 0}));
}

TEST(ScanSettingsFile, EmptyOrBinaryFileReadsAllZeroKeys) {
    for (const std::string& content : {std::string(), std::string("\x00\xff\x13[Scan", 8)}) {
        TestContext driver("settings");
        driver.temp().write("Mirt.ini", content);
        ASSERT_TRUE(LoadScanSettings(driver.ctx()));
        EXPECT_EQ(driver.ctx().engine.request.scanRectRight, 0);
        EXPECT_EQ(driver.ctx().engine.request.lineOrder, 1);
    }
}

TEST(ScanSettingsFile, NoTemporaryDirectoryChangesNothing) {
    DriverEnvironment env;
    env.clock = std::make_shared<platform::VirtualClock>();
    env.devices = std::make_shared<platform::DeviceList>();
    DriverContext ctx(std::move(env));
    ctx.engine.request.res = 77;
    EXPECT_FALSE(LoadScanSettings(ctx));
    EXPECT_EQ(ctx.engine.request.res, 77);
}

TEST(ScanSettingsFile, LoadSettingsRecordsModuleHandle) {
    TestContext driver("settings");
    Session* s = GetSession(driver.ctx());
    const int anchor = 0;
    EXPECT_TRUE(s->LoadSettings(driver.ctx(), &anchor));
    EXPECT_EQ(s->moduleHandle, &anchor);
}

}  // namespace
}  // namespace ordavel::interface
