// The configuration files: the reference scanner and its variants carry the reference hardware's
// values, malformed values are refused with the key named, sheets and faults are read, and the
// backend built from a file lists and opens the scanner.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_paths.h"
#include "tests/support/virtual_frames.h"
#include "virtual/builtin_pages.h"
#include "virtual/png_page.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::test {
namespace {

namespace vs = virtual_scanner;

class ConfigFiles : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeScratchDir("virtual-config"); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& text, const std::string& name = "scanner.ini") {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::string dir_;
};

TEST(ReferenceConfig, CarriesTheReferenceHardwareValues) {
    vs::ScannerConfig c;
    std::string error;
    ASSERT_TRUE(vs::LoadScannerConfig(DataDir() + "/virtual/reference.ini", c, error)) << error;
    EXPECT_EQ(c.manufacturer, "Mirt");
    EXPECT_EQ(c.product, "Mirt Sheet Scanner");
    EXPECT_EQ(c.chip, vs::Chip::LM9832);
    EXPECT_EQ(c.sensor.opticalResolution, 200);
    EXPECT_EQ(c.sensor.imageStart, 150);
    EXPECT_EQ(c.sensor.imagePixels, 1680);
    EXPECT_DOUBLE_EQ(c.sensor.paperCentre, 840);
    EXPECT_DOUBLE_EQ(c.path.stepsPerInch, 200);
    EXPECT_DOUBLE_EQ(c.path.paperSensor2, 0);
    EXPECT_DOUBLE_EQ(c.path.paperSensor1, 100);
    EXPECT_DOUBLE_EQ(c.path.scanLine, 260);
    EXPECT_DOUBLE_EQ(c.path.exit, 400);
    EXPECT_DOUBLE_EQ(c.path.sheetGap, 400);
    // A feed stops as the leading edge reaches sensor 1, positioning adds 145 steps and the scan's
    // 15 skip steps bring the edge to the scan line.
    EXPECT_DOUBLE_EQ(c.path.readyPosition, c.path.paperSensor1 + 145);
    EXPECT_DOUBLE_EQ(c.path.readyPosition + 15, c.path.scanLine);
    EXPECT_EQ(c.feeder.firstSheet, vs::FirstSheetPlacement::Ready);
    ASSERT_EQ(c.feeder.sheets.size(), 3u);
    EXPECT_EQ(c.feeder.sheets[2].page, "ticket") << "a sheet without a section repeats the one before";
    EXPECT_TRUE(c.faults.empty());
}

class Variant : public ::testing::TestWithParam<std::pair<const char*, vs::Chip>> {};

TEST_P(Variant, DiffersFromTheReferenceOnlyInTheChip) {
    vs::ScannerConfig ref, variant;
    std::string error;
    ASSERT_TRUE(vs::LoadScannerConfig(DataDir() + "/virtual/reference.ini", ref, error));
    ASSERT_TRUE(vs::LoadScannerConfig(DataDir() + "/virtual/" + GetParam().first, variant, error)) << error;
    EXPECT_EQ(variant.chip, GetParam().second);
    EXPECT_EQ(variant.product, ref.product);
    EXPECT_EQ(variant.sensor.imagePixels, ref.sensor.imagePixels);
    EXPECT_DOUBLE_EQ(variant.path.readyPosition, ref.path.readyPosition);
}

INSTANTIATE_TEST_SUITE_P(Files, Variant,
                         ::testing::Values(std::pair{"lm9831.ini", vs::Chip::LM9831},
                                           std::pair{"lm9833.ini", vs::Chip::LM9833}));

struct BadValue {
    const char* text;
    const char* named;
};

class Malformed : public ConfigFiles, public ::testing::WithParamInterface<BadValue> {};

TEST_P(Malformed, IsRefusedNamingSectionAndKey) {
    vs::ScannerConfig c;
    std::string error;
    EXPECT_FALSE(vs::LoadScannerConfig(write(GetParam().text), c, error));
    EXPECT_NE(error.find(GetParam().named), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Values, Malformed,
    ::testing::Values(BadValue{"[Device]\nChip=LM9830\n", "[Device] Chip"},
                      BadValue{"[Sensor]\nPRNU_Percent=3x\n", "[Sensor] PRNU_Percent"},
                      BadValue{"[Sensor]\nImage_Pixels=1900\n", "[Sensor] Image_Pixels"},
                      BadValue{"[Paper Path]\nExit=-5\n", "[Paper Path] Exit"},
                      BadValue{"[Feeder]\nFirst_Sheet=Middle\n", "[Feeder] First_Sheet"},
                      BadValue{"[Faults]\nCount=1\n[Fault 1]\nType=Gremlin\n", "[Fault 1] Type"},
                      BadValue{"[Faults]\nCount=1\n[Fault 1]\nType=Jam\nAt_Position=far\n", "[Fault 1] At_Position"},
                      BadValue{"[Sensor]\nBacking_Reflectance=1.5\n", "[Sensor] Backing_Reflectance"}));

TEST_F(ConfigFiles, ReadsSheetsFaultsAndPngPagesRelativeToTheFile) {
    std::string error;
    const auto chart = vs::MakeBuiltinPage("ticket");
    ASSERT_TRUE(vs::WritePagePng(*chart, 50, dir_ + "/own.png", error)) << error;
    const std::string path = write(
        "[Feeder]\nFirst_Sheet=Entrance\nSheets=3\n"
        "[Sheet 1]\nPage=own.png\nResolution=50\nSkew_Degrees=1.5\nOffset_Inches=-0.25\n"
        "[Sheet 3]\nPage=white\nLength_Inches=5\n"
        "[Faults]\nCount=2\nSeed=9\n"
        "[Fault 1]\nType=failtransfer\nDirection=In\nTransfer=7\nRepeat=2\n"
        "[Fault 2]\nType=StuckSensor\nInput=Tray\nState=Off\nAt_Ms=100\nDuration_Ms=50\n");
    vs::ScannerConfig c;
    ASSERT_TRUE(vs::LoadScannerConfig(path, c, error)) << error;
    ASSERT_EQ(c.feeder.sheets.size(), 3u);
    EXPECT_EQ(c.feeder.sheets[0].page, dir_ + "/own.png");
    EXPECT_DOUBLE_EQ(c.feeder.sheets[0].skewDegrees, 1.5);
    EXPECT_DOUBLE_EQ(c.feeder.sheets[0].offsetInches, -0.25);
    EXPECT_EQ(c.feeder.sheets[1].page, c.feeder.sheets[0].page);
    EXPECT_EQ(c.feeder.sheets[2].page, "white");
    EXPECT_EQ(c.feeder.sheets[2].lengthInches, 5.0);
    ASSERT_EQ(c.faults.size(), 2u);
    EXPECT_EQ(c.faultSeed, 9u);
    EXPECT_EQ(c.faults[0].type, vs::FaultType::FailTransfer);
    EXPECT_EQ(c.faults[0].direction, vs::TransferDirection::In);
    EXPECT_EQ(c.faults[0].transfer, 7u);
    EXPECT_EQ(c.faults[0].repeat, 2u);
    EXPECT_EQ(c.faults[1].input, vs::InputId::Tray);
    EXPECT_FALSE(c.faults[1].stuckActive);
    EXPECT_EQ(c.faults[1].atMs, 100u);
    EXPECT_EQ(c.faults[1].durationMs, 50u);

    auto clock = std::make_shared<platform::VirtualClock>();
    auto scanner = vs::LoadVirtualScanner(path, clock, error);
    ASSERT_TRUE(scanner) << error;
    EXPECT_EQ(scanner->sheetPage(1)->name(), "own.png");
    EXPECT_NEAR(scanner->sheetPage(1)->heightInches(), 7.0, 0.02);
}

TEST_F(ConfigFiles, BackendListsTheScannerByItsUsbStringsAndOpensIt) {
    const std::string path = write("[Device]\nManufacturer=Mirt\nProduct=Scanner \xC3\xA9t\xC3\xA9\n");
    std::string error;
    auto backend = vs::MakeVirtualScannerBackend(path, std::make_shared<platform::VirtualClock>(), error);
    ASSERT_TRUE(backend) << error;
    const auto devices = backend->devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendorDescription, u"Mirt");
    EXPECT_EQ(devices[0].deviceDescription, u"Scanner \u00E9t\u00E9");
    auto pipe = backend->open(devices[0].internalName);
    ASSERT_TRUE(pipe);
    FrameClient io(*pipe);
    EXPECT_EQ(*io.readRegister(0x69) & 0x07, 4);
}

TEST_F(ConfigFiles, MissingFileOrPageIsAnError) {
    std::string error;
    EXPECT_FALSE(vs::MakeVirtualScannerBackend(dir_ + "/none.ini", std::make_shared<platform::VirtualClock>(), error));
    EXPECT_NE(error.find("none.ini"), std::string::npos);
    const std::string path = write("[Feeder]\nSheets=1\n[Sheet 1]\nPage=missing.png\n");
    EXPECT_FALSE(vs::MakeVirtualScannerBackend(path, std::make_shared<platform::VirtualClock>(), error));
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;
}

}  // namespace
}  // namespace ordavel::test
