// Device initialisation up to the device: the settings file, the scan buffer size, the debug
// level and the device-not-found message; and the conversion of the device names.
#include <gtest/gtest.h>

#include <string>

#include "driver/description/device_name_text.h"
#include "driver/description/register_programming.h"
#include "platform/profile.h"
#include "tests/support/hand_description.h"
#include "tests/support/scratch_context.h"

namespace ordavel::description {
namespace {

using test::HandDescription;
using test::ScratchContext;

const char* const kNotFound = "未发现 Mirt Sheet Scanner 设备";

class InitUsbWithoutScanner : public ::testing::Test {
protected:
    InitUsbWithoutScanner() { scratch.ctx().description = HandDescription(1); }
    std::string settingsPath() const { return scratch.tempDir() + "/Mirt.def"; }
    ScratchContext scratch{"init"};
};

TEST_F(InitUsbWithoutScanner, MissingSettingsFileIsReportedWithItsPath) {
    EXPECT_FALSE(InitUSB(scratch.ctx(), true));
    EXPECT_EQ(scratch.messages(), std::vector<std::string>{settingsPath() + " not found"});
    EXPECT_EQ(scratch.ctx().description.clockDividerSetting, 12);
}

TEST_F(InitUsbWithoutScanner, NoScannerIsReportedByDeviceName) {
    scratch.writeSettings("[SETUP]\nScan_Buffer_MBytes=16\n");
    EXPECT_FALSE(InitUSB(scratch.ctx(), true));
    ASSERT_FALSE(scratch.messages().empty());
    EXPECT_EQ(scratch.messages().back(), kNotFound);
    EXPECT_EQ(scratch.ctx().settings.scanBufferBytes, 16 * 1048576);
}

TEST_F(InitUsbWithoutScanner, AbsentOrZeroBufferSizeIsWrittenAs8) {
    for (const char* content : {"[SETUP]\nDebug=0\n", "[SETUP]\nScan_Buffer_MBytes=0\n"}) {
        scratch.writeSettings(content);
        scratch.ctx().settings.scanBufferBytes = 0;
        InitUSB(scratch.ctx(), true);
        EXPECT_EQ(platform::ReadProfileString(settingsPath(), "SETUP", "Scan_Buffer_MBytes"), "8") << content;
        EXPECT_EQ(scratch.ctx().settings.scanBufferBytes, 8 * 1048576);
    }
}

TEST_F(InitUsbWithoutScanner, OutOfRangeBufferSizeUses8AndKeepsTheFile) {
    for (const char* value : {"200", "129", "-3"}) {
        scratch.clearMessages();
        scratch.writeSettings(std::string("[SETUP]\nScan_Buffer_MBytes=") + value + "\n");
        InitUSB(scratch.ctx(), true);
        ASSERT_GE(scratch.messages().size(), 2u);
        EXPECT_EQ(scratch.messages().front(), "Scan_Buffer_MBytes must be 1 to 128");
        EXPECT_EQ(scratch.messages().back(), kNotFound);
        EXPECT_EQ(scratch.ctx().settings.scanBufferBytes, 8 * 1048576);
        EXPECT_EQ(platform::ReadProfileString(settingsPath(), "SETUP", "Scan_Buffer_MBytes"), value);
    }
}

TEST_F(InitUsbWithoutScanner, BufferSizeLimitsAreInclusive) {
    for (int mbytes : {1, 128}) {
        scratch.clearMessages();
        scratch.writeSettings("[SETUP]\nScan_Buffer_MBytes=" + std::to_string(mbytes) + "\n");
        InitUSB(scratch.ctx(), true);
        EXPECT_EQ(scratch.ctx().settings.scanBufferBytes, mbytes * 1048576);
        EXPECT_FALSE(scratch.reported("Scan_Buffer_MBytes must be 1 to 128"));
    }
}

TEST_F(InitUsbWithoutScanner, DebugLevelSwitchesVerification) {
    scratch.writeSettings("[SETUP]\nDebug=2\nScan_Buffer_MBytes=8\n");
    InitUSB(scratch.ctx(), true);
    EXPECT_EQ(scratch.ctx().settings.debugLevel, 2);
    EXPECT_EQ(scratch.ctx().record.verifyWrites, 2);
}

TEST_F(InitUsbWithoutScanner, UnconvertibleDeviceNameCountsAsNotFound) {
    scratch.writeSettings("[SETUP]\nScan_Buffer_MBytes=8\n");
    std::string longName(90, 'x');
    std::snprintf(scratch.ctx().description.USB_Manufacturer, kTextFieldSize, "%s", longName.c_str());
    EXPECT_FALSE(InitUSB(scratch.ctx(), true));
    EXPECT_EQ(scratch.messages(), std::vector<std::string>{kNotFound});
}

struct NameCase {
    const char* name;
    std::string text;
    bool converts;
    std::u16string expected;
};

std::string Repeat(const std::string& unit, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += unit;
    return out;
}

std::u16string Repeat16(const std::u16string& unit, int times) {
    std::u16string out;
    for (int i = 0; i < times; ++i) out += unit;
    return out;
}

class DeviceName : public ::testing::TestWithParam<NameCase> {};

TEST_P(DeviceName, ConvertsWithinEightyUnits) {
    const NameCase& c = GetParam();
    std::u16string out = u"untouched";
    EXPECT_EQ(DeviceNameToUtf16(c.text, out), c.converts);
    EXPECT_EQ(out, c.converts ? c.expected : u"untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceName,
    ::testing::Values(NameCase{"ascii", "Mirt Sheet Scanner", true, u"Mirt Sheet Scanner"},
                      NameCase{"empty", "", true, u""},
                      NameCase{"chinese", "扫描仪", true, u"扫描仪"},
                      NameCase{"beyond_bmp_is_a_pair", "\xF0\x9F\x93\xA0", true, u"\U0001F4E0"},
                      NameCase{"seventy_nine_fit", std::string(79, 'a'), true, std::u16string(79, u'a')},
                      NameCase{"eighty_do_not", std::string(80, 'a'), false, u""},
                      NameCase{"thirty_nine_pairs_fit", Repeat("\xF0\x9F\x93\xA0", 39), true, Repeat16(u"\U0001F4E0", 39)},
                      NameCase{"forty_pairs_do_not", Repeat("\xF0\x9F\x93\xA0", 40), false, u""},
                      NameCase{"truncated_sequence", "ab\xE6\x89", false, u""},
                      NameCase{"stray_continuation", "a\x80", false, u""},
                      NameCase{"overlong", "\xC0\xAF", false, u""},
                      NameCase{"surrogate", "\xED\xA0\x80", false, u""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ordavel::description
