// Loading the description: shipped files, override sections, the hardware summary, and the
// state a failed load leaves behind.
#include "driver/description/description_loader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "driver/description/override_section.h"
#include "driver/description/resolution_list.h"
#include "platform/temp_dir.h"
#include "tests/support/test_context.h"
#include "tests/support/test_paths.h"
#include "tests/support/param_names.h"

namespace ordavel::description {
namespace {

using test::ReadWholeFile;
using test::ReferenceDescriptionWith;
using test::TestContext;

std::string ReferenceText() { return ReadWholeFile(test::DataDir() + "/Mirt9832.dsc"); }

class ShippedDescription : public ::testing::TestWithParam<std::pair<const char*, int32_t>> {};

TEST_P(ShippedDescription, LoadsAndFillsTheHardwareSummary) {
    TestContext driver("shipped");
    driver.installReferenceFiles(GetParam().first);
    ASSERT_TRUE(LoadScannerDescription(driver.ctx())) << driver.ctx().record.messageText;
    const ScanHardware& hw = driver.ctx().hardware;
    EXPECT_EQ(hw.pixelWidth, 1680);
    EXPECT_EQ(hw.pixelLength, 2340);
    EXPECT_EQ(hw.opticalResolution, 200);
    EXPECT_EQ(hw.chip, GetParam().second);
    EXPECT_STREQ(hw.deviceName, "Mirt Sheet Scanner");
    const std::array<int32_t, 16> expected{16, 25, 33, 50, 66, 100, 133, 200, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<int32_t>(hw.resolutions, hw.resolutions + 16),
              std::vector<int32_t>(expected.begin(), expected.end()));
    EXPECT_EQ(driver.ctx().description.Total_Pixels, 2000);
    EXPECT_EQ(driver.ctx().description.TR_Pulse_Duration | (driver.ctx().description.TR_PHI_Guardband_Duration << 4), 0x13);
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedDescription,
                         ::testing::Values(std::make_pair("Mirt9831.dsc", 0), std::make_pair("Mirt9832.dsc", 1),
                                           std::make_pair("Mirt9833.dsc", 2)), ::ordavel::test::ReadableName{});

TEST(ShippedSettings, SampleMirtDefNamesTheReferenceDescription) {
    TestContext driver("shipped");
    driver.temp().copyData("Mirt.def", "Mirt.def");
    driver.temp().copyData("Mirt9832.dsc", "Mirt9832.dsc");
    EXPECT_TRUE(LoadScannerDescription(driver.ctx())) << driver.ctx().record.messageText;
}

struct ResolutionCase {
    int32_t optical;
    double evenOdd;
    int32_t maxSensor;
    std::array<int32_t, 16> expected;
};

class Resolutions : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(Resolutions, DividerResolutionsThenDoublings) {
    const auto& c = GetParam();
    EXPECT_EQ(ResolutionList(c.optical, c.evenOdd, c.maxSensor), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, Resolutions,
    ::testing::Values(
        ResolutionCase{300, 0.0, 600, {25, 37, 50, 75, 100, 150, 200, 300, 600, 0, 0, 0, 0, 0, 0, 0}},
        ResolutionCase{600, 0.5, 1200, {25, 37, 50, 75, 100, 150, 200, 300, 600, 1200, 0, 0, 0, 0, 0, 0}},
        ResolutionCase{600, 0.0, 600, {50, 75, 100, 150, 200, 300, 400, 600, 0, 0, 0, 0, 0, 0, 0, 0}},
        ResolutionCase{10, -0.25, 10000, {0, 0, 0, 1, 1, 2, 3, 5, 10, 20, 40, 80, 160, 320, 640, 1280}},
        ResolutionCase{10000, 0.0, 10000, {833, 1250, 1666, 2500, 3333, 5000, 6666, 10000, 0, 0, 0, 0, 0, 0, 0, 0}}));

// Override sections: the first "[hdpi low:high]" line whose range holds the horizontal
// resolution names the section searched first.
struct OverrideCase {
    const char* name;
    std::string sections;  // appended to the reference description
    int32_t xResolution;
    int32_t expectedStartOfScan;  // -1: the load fails with the section syntax message
};

class OverrideSections : public ::testing::TestWithParam<OverrideCase> {};

TEST_P(OverrideSections, PickFirstMatchingSection) {
    const auto& c = GetParam();
    TestContext driver("override");
    driver.installDescription(ReferenceText() + c.sections);
    driver.ctx().engine.request.xResolution = c.xResolution;
    const bool ok = LoadScannerDescription(driver.ctx());
    if (c.expectedStartOfScan < 0) {
        EXPECT_FALSE(ok);
        EXPECT_STREQ(driver.ctx().record.messageText, "section syntax must be [hdpi low:high]");
    } else {
        ASSERT_TRUE(ok) << driver.ctx().record.messageText;
        EXPECT_EQ(driver.ctx().description.Start_Of_Scan, c.expectedStartOfScan);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OverrideSections,
    ::testing::Values(
        OverrideCase{"FirstOfOverlapping", "[hdpi 100:199]\nStart_Of_Scan=20\n[hdpi 150:300]\nStart_Of_Scan=30\n", 150, 20},
        OverrideCase{"SecondWhenFirstMisses", "[hdpi 100:199]\nStart_Of_Scan=20\n[hdpi 150:300]\nStart_Of_Scan=30\n", 250, 30},
        OverrideCase{"NoneMatches", "[hdpi 100:199]\nStart_Of_Scan=20\n[hdpi 150:300]\nStart_Of_Scan=30\n", 400, 15},
        OverrideCase{"BoundsInclusive", "[hdpi 200:200]\nStart_Of_Scan=21\n", 200, 21},
        OverrideCase{"CaseAndBlanks", "  [  HDPI   100:300  ]  \nStart_Of_Scan=22\n", 200, 22},
        OverrideCase{"BlanksAfterColon", "[hdpi 100: 300]\nStart_Of_Scan=23\n", 200, 23},
        OverrideCase{"EmptyOverrideFallsBack", "[hdpi 100:300]\nStart_Of_Scan=\n", 200, 15},
        OverrideCase{"NulOverrideFallsBack", std::string("[hdpi 100:300]\nStart_Of_Scan=\0" "9\n", 32), 200, 15},
        OverrideCase{"OtherKeysFromOwnSection", "[hdpi 100:300]\nMirror_Image=No\n", 200, 15},
        OverrideCase{"OneNumber", "[hdpi 100]\nStart_Of_Scan=20\n", 200, -1},
        OverrideCase{"WordOnly", "[hdpi ]\n", 200, -1},
        OverrideCase{"LowAboveHigh", "[hdpi 300:100]\n", 200, -1},
        OverrideCase{"BlankBeforeColon", "[hdpi 100 :300]\n", 200, -1},
        OverrideCase{"NoClosingBracketInRange", "[hdpi 100:300\nStart_Of_Scan=20\n", 200, -1},
        OverrideCase{"NoClosingBracketOutOfRange", "[hdpi 300:400\nStart_Of_Scan=20\n", 200, 15},
        OverrideCase{"MalformedAfterMatchNeverSeen", "[hdpi 100:300]\nStart_Of_Scan=24\n[hdpi 5]\n", 200, 24},
        OverrideCase{"MalformedBeforeMatchFails", "[hdpi 5]\n[hdpi 100:300]\nStart_Of_Scan=24\n", 200, -1},
        OverrideCase{"WordGluedToBracketIsNotHdpi", "[hdpi]\n[hdpi100:300]\nStart_Of_Scan=25\n", 200, 15},
        OverrideCase{"OtherWordsIgnored", "[vdpi 1]\n[res 100:300]\nStart_Of_Scan=26\n", 200, 15},
        OverrideCase{"NegativeRange", "[hdpi -10:-1]\nStart_Of_Scan=27\n", -5, 27},
        OverrideCase{"HugeBoundSaturates", "[hdpi 0:99999999999999]\nStart_Of_Scan=28\n", 200, 28}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(OverrideSections, OverrideValueOutOfRangeReportsRange) {
    TestContext driver("override");
    driver.installDescription(ReferenceText() + "[hdpi 100:300]\nStart_Of_Scan=99999\n");
    driver.ctx().engine.request.xResolution = 200;
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_STREQ(driver.ctx().record.messageText, "Start_Of_Scan must be >= 0 AND <= 10000");
}

TEST(OverrideSections, TailOfLongLineIsNotALine) {
    const std::string line = "Comment=" + std::string(300, 'x') + "[hdpi 5]\n";
    EXPECT_EQ(FindOverrideSection(line, 200).outcome, OverrideScan::Outcome::None);
}

TEST(OverrideSections, EmbeddedNulEndsTheLine) {
    const std::string line = std::string("[hdpi 100:\0 300]\n", 17);
    EXPECT_EQ(FindOverrideSection(line, 200).outcome, OverrideScan::Outcome::SyntaxError);
}

// A context whose previous load succeeded, to see what a failing load leaves behind.
class FailedLoad : public ::testing::Test {
protected:
    void SetUp() override {
        driver.installReferenceFiles("Mirt9832.dsc");
        ASSERT_TRUE(LoadScannerDescription(driver.ctx()));
        driver.ctx().description.clockDividerSetting = 12;  // a working field set by a later layer
        before = driver.ctx().description;
    }
    void expectDescriptionUnchanged() {
        EXPECT_EQ(std::memcmp(&before, &driver.ctx().description, sizeof before), 0);
    }
    void expectHardwareZero() {
        const ScanHardware zero{};
        EXPECT_EQ(std::memcmp(&zero, &driver.ctx().hardware, sizeof zero), 0);
    }
    TestContext driver{"failed"};
    ScannerDescription before{};
};

TEST_F(FailedLoad, NoScannerFileLeavesEverythingUntouched) {
    driver.temp().write("Mirt.def", "[SETUP]\nScannerFile=   \n");
    const ScanHardware hwBefore = driver.ctx().hardware;
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_STREQ(driver.ctx().record.messageText, "ScannerFile= not found in Mirt.def");
    expectDescriptionUnchanged();
    EXPECT_EQ(std::memcmp(&hwBefore, &driver.ctx().hardware, sizeof hwBefore), 0);
}

TEST_F(FailedLoad, NoSettingsFileReportsScannerFile) {
    std::remove(driver.temp().file("Mirt.def").c_str());
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_STREQ(driver.ctx().record.messageText, "ScannerFile= not found in Mirt.def");
}

TEST_F(FailedLoad, MissingDescriptionClearsHardwareKeepsDescription) {
    driver.temp().write("Mirt.def", "[SETUP]\nScannerFile=gone.dsc\n");
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_EQ(std::string(driver.ctx().record.messageText), driver.temp().file("gone.dsc") + " not found");
    expectDescriptionUnchanged();
    expectHardwareZero();
}

TEST_F(FailedLoad, DirectoryAsDescriptionIsNotFound) {
    driver.temp().write("Mirt.def", "[SETUP]\nScannerFile=.\n");
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_EQ(std::string(driver.ctx().record.messageText), driver.temp().file(".") + " not found");
    expectDescriptionUnchanged();
}

TEST_F(FailedLoad, MalformedOverrideKeepsDescription) {
    driver.temp().write("Mirt9832.dsc", "[hdpi 1]\n" + ReferenceText());
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    expectDescriptionUnchanged();
    expectHardwareZero();
}

TEST_F(FailedLoad, KeyRowFailureLeavesEarlierRowsAndZeroesTheRest) {
    driver.temp().write("Mirt9832.dsc", ReferenceDescriptionWith("Total_Pixels", "5"));
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_STREQ(driver.ctx().record.messageText, "Total_Pixels must be >= 10 AND <= 16383");
    const auto& d = driver.ctx().description;
    EXPECT_EQ(d.Chip, 1);
    EXPECT_EQ(d.Optical_Resolution, 200);
    EXPECT_DOUBLE_EQ(d.EvenOdd_Line_Separation, 0.0);
    EXPECT_EQ(d.Total_Pixels, 0);
    EXPECT_EQ(d.Red_Lamp_Off, 0);
    EXPECT_EQ(d.startPixel, 0);
    EXPECT_EQ(d.workingGreenDuty, 0);
    EXPECT_EQ(d.clockDividerSetting, 0);
    expectHardwareZero();
}

TEST(DescriptionLoad, ResetsStampsAndSetsColourFlagEvenWhenFailing) {
    TestContext driver("load");
    auto& ctx = driver.ctx();
    for (auto& s : ctx.engine.info.stamps) s = 77;
    ctx.engine.request.pixelType = 2;
    EXPECT_FALSE(LoadScannerDescription(ctx));  // no Mirt.def at all
    for (auto s : ctx.engine.info.stamps) EXPECT_EQ(s, 0u);
    EXPECT_TRUE(ctx.settings.colourScan);
    ctx.engine.request.pixelType = 1;
    EXPECT_FALSE(LoadScannerDescription(ctx));
    EXPECT_FALSE(ctx.settings.colourScan);
}

TEST(DescriptionLoad, StatusCallbackHearsEveryFailure) {
    static int calls = 0;
    calls = 0;
    TestContext driver("load");
    driver.ctx().record.statusCallback = [](int32_t kind) -> int32_t {
        if (kind == 0) ++calls;
        return 0;
    };
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_EQ(calls, 1);
}

TEST(DescriptionLoad, NoTemporaryDirectoryFailsCleanly) {
    DriverEnvironment env;
    env.clock = std::make_shared<platform::VirtualClock>();
    env.devices = std::make_shared<platform::DeviceList>();
    DriverContext ctx(std::move(env));
    EXPECT_FALSE(LoadScannerDescription(ctx));
    EXPECT_STREQ(ctx.record.messageText, "ScannerFile= not found in Mirt.def");
}

// Bad input of every shape fails with one message and never crashes.
struct BadInputCase {
    const char* name;
    std::string content;
    const char* message;
};

class BadDescription : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadDescription, FailsWithMessage) {
    TestContext driver("bad");
    driver.installDescription(GetParam().content);
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_STREQ(driver.ctx().record.messageText, GetParam().message);
}

std::string Binary() {
    std::string s;
    for (int i = 0; i < 4096; ++i) s += static_cast<char>((i * 131 + 7) & 0xFF);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadDescription,
    ::testing::Values(
        BadInputCase{"Empty", "", "Chip= missing"},
        BadInputCase{"Binary", Binary(), "Chip= missing"},
        BadInputCase{"TruncatedMidFile", ReferenceText().substr(0, ReferenceText().find("Total_Pixels")),
                     "Total_Pixels= missing"},
        BadInputCase{"TruncatedMidValue", ReferenceText().substr(0, ReferenceText().find("Red_Target=0xD000") + 14),
                     "Red_Target must be >= 0x8000 AND <= 0xffff"},
        BadInputCase{"HugeLine", "[File Settings]\nChip=" + std::string(100000, 'L') + "\n",
                     "Chip must be: LM9831 LM9832 LM9833 "},
        BadInputCase{"NulInValue", std::string("[File Settings]\nChip=\0LM9832\n", 30), "Chip= missing"},
        BadInputCase{"OnlySections", "[File Settings]\n[Sensor Settings]\n", "Chip= missing"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BadDescription, TruncatedAtEveryLineFailsOrSucceedsCleanly) {
    const std::string text = ReferenceText();
    TestContext driver("bad");
    int failures = 0;
    for (std::size_t cut = 0; cut < text.size(); cut += 97) {
        driver.installDescription(text.substr(0, cut));
        if (!LoadScannerDescription(driver.ctx())) {
            ++failures;
            EXPECT_NE(driver.ctx().record.messageText[0], '\0');
        }
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace ordavel::description

namespace ordavel::description {
namespace {

// "Mirt.def" of any shape: only a usable ScannerFile lets the load go on.
struct SettingsCase {
    const char* name;
    std::string content;
    std::string expectedMessageEnd;  // the whole message, or its end for path messages
};

void PrintTo(const SettingsCase& c, std::ostream* out) { *out << c.name; }

class BadSettingsFile : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(BadSettingsFile, FailsWithMessage) {
    test::TestContext driver("settings");
    driver.temp().write("Mirt.def", GetParam().content);
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    const std::string message = driver.ctx().record.messageText;
    const std::string& end = GetParam().expectedMessageEnd;
    ASSERT_GE(message.size(), end.size()) << message;
    EXPECT_EQ(message.substr(message.size() - end.size()), end) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadSettingsFile,
    ::testing::Values(
        SettingsCase{"Empty", "", "ScannerFile= not found in Mirt.def"},
        SettingsCase{"Binary", std::string("\x00\x01[SETUP]\x00ScannerFile=a\xff", 22),
                     "ScannerFile= not found in Mirt.def"},
        SettingsCase{"KeyInOtherSection", "[TWAINSCAN]\nScannerFile=Mirt9832.dsc\n", "ScannerFile= not found in Mirt.def"},
        SettingsCase{"SectionWithoutKey", "[SETUP]\nDebug=1\n", "ScannerFile= not found in Mirt.def"},
        SettingsCase{"NamesMissingFile", "[setup]\nscannerfile = nothing.dsc \n",
                     platform::kPathSeparator + std::string("nothing.dsc not found")},
        SettingsCase{"OverlongName", "[SETUP]\nScannerFile=" + std::string(1000, 'n') + "\n", "nnnnn"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BadSettingsFile, OverlongNameIsCutAndMessageStaysWithinItsBuffer) {
    test::TestContext driver("settings");
    driver.temp().write("Mirt.def", "[SETUP]\nScannerFile=" + std::string(1000, 'n') + "\n");
    EXPECT_FALSE(LoadScannerDescription(driver.ctx()));
    EXPECT_EQ(std::strlen(driver.ctx().record.messageText), 255u);
}

}  // namespace
}  // namespace ordavel::description
