// Device initialisation up to the device: the settings file, the scan buffer size, the debug
// level and the device-not-found message; and the conversion of the device names.
#include <gtest/gtest.h>

#include <string>

#include "driver/description/device_name_text.h"
#include "driver/description/register_programming.h"
#include "platform/profile.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::HandDescription;
using test::TestContext;

const char* const kNotFound = "未发现 Mirt Sheet Scanner 设备";

class InitUsbWithoutScanner : public ::testing::Test {
protected:
    InitUsbWithoutScanner() { scratch.ctx().description = HandDescription(1); }
    std::string settingsPath() const { return scratch.temp().file("Mirt.def"); }
    TestContext scratch{"init"};
};

TEST_F(InitUsbWithoutScanner, MissingSettingsFileIsReportedWithItsPath) {
    EXPECT_FALSE(InitUSB(scratch.ctx(), true));
    EXPECT_EQ(scratch.messages(), std::vector<std::string>{settingsPath() + " not found"});
    EXPECT_EQ(scratch.ctx().description.clockDividerSetting, 12);
}

struct BufferCase {
    const char* name;
    const char* settings;
    int32_t mbytesUsed;
    bool rangeMessage;
    const char* keptInFile;  // the key's text afterwards
};

class ScanBufferSize : public InitUsbWithoutScanner, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(ScanBufferSize, IsReadCheckedAndDefaulted) {
    const BufferCase& c = GetParam();
    scratch.writeSettings(c.settings);
    EXPECT_FALSE(InitUSB(scratch.ctx(), true));
    EXPECT_EQ(scratch.ctx().settings.scanBufferBytes, c.mbytesUsed * 1048576);
    EXPECT_EQ(scratch.messages().front() == "Scan_Buffer_MBytes must be 1 to 128", c.rangeMessage);
    EXPECT_EQ(scratch.messages().back(), kNotFound);
    EXPECT_EQ(platform::ReadProfileString(settingsPath(), "SETUP", "Scan_Buffer_MBytes"), c.keptInFile);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanBufferSize,
    ::testing::Values(BufferCase{"absent_written_as_8", "[SETUP]\nDebug=0\n", 8, false, "8"},
                      BufferCase{"zero_written_as_8", "[SETUP]\nScan_Buffer_MBytes=0\n", 8, false, "8"},
                      BufferCase{"smallest", "[SETUP]\nScan_Buffer_MBytes=1\n", 1, false, "1"},
                      BufferCase{"largest", "[SETUP]\nScan_Buffer_MBytes=128\n", 128, false, "128"},
                      BufferCase{"too_large_kept_in_file", "[SETUP]\nScan_Buffer_MBytes=200\n", 8, true, "200"},
                      BufferCase{"negative_kept_in_file", "[SETUP]\nScan_Buffer_MBytes=-3\n", 8, true, "-3"}),
    [](const auto& p) { return std::string(p.param.name); });

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
                      NameCase{"chinese", "扫描仪", true, u"扫描仪"},
                      NameCase{"beyond_bmp_is_a_pair", "\xF0\x9F\x93\xA0", true, u"\U0001F4E0"},
                      NameCase{"thirty_nine_pairs_fit", Repeat("\xF0\x9F\x93\xA0", 39), true, Repeat16(u"\U0001F4E0", 39)},
                      NameCase{"forty_pairs_do_not", Repeat("\xF0\x9F\x93\xA0", 40), false, u""},
                      NameCase{"truncated_sequence", "ab\xE6\x89", false, u""},
                      NameCase{"overlong", "\xC0\xAF", false, u""},
                      NameCase{"surrogate", "\xED\xA0\x80", false, u""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ordavel::description
