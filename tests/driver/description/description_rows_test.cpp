// Key rows: every kind's validation, the exact messages, what is stored, and chip gating.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/description/description_loader.h"
#include "tests/support/test_context.h"
#include "tests/support/test_paths.h"

namespace ordavel::description {
namespace {

using test::ReferenceDescriptionWith;
using test::TestContext;

// Loads the reference description with one key's line replaced (nullptr removes it).
struct RowCase {
    const char* name;
    const char* key;
    const char* value;
    const char* message;  // nullptr: the load succeeds
    const char* dataName = "Mirt9832.dsc";
};

class DescriptionRow : public ::testing::TestWithParam<RowCase> {};

TEST_P(DescriptionRow, ReportsExactMessage) {
    const auto& c = GetParam();
    TestContext driver("rows");
    driver.installDescription(ReferenceDescriptionWith(c.key, c.value, c.dataName));
    const bool ok = LoadScannerDescription(driver.ctx());
    if (c.message == nullptr) {
        EXPECT_TRUE(ok) << driver.ctx().record.messageText;
    } else {
        EXPECT_FALSE(ok);
        EXPECT_STREQ(driver.ctx().record.messageText, c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, DescriptionRow,
    ::testing::Values(
        RowCase{"ChipLowerCaseWithComment", "Chip", "lm9833   // the newer chip", nullptr},
        RowCase{"ChipUnknown", "Chip", "LM9834", "Chip must be: LM9831 LM9832 LM9833 "},
        RowCase{"ChipMissing", "Chip", nullptr, "Chip= missing"},
        RowCase{"ChipEmpty", "Chip", "", "Chip= missing"},
        RowCase{"ChipOnlyComment", "Chip", "// none", "Chip= missing value"},
        RowCase{"ChoiceUsesFirstWordOnly", "Mirror_Image", "No thanks", nullptr},
        RowCase{"RedTargetLowestHex", "Red_Target", "0x8000", nullptr},
        RowCase{"RedTargetBelowRange", "Red_Target", "32767", "Red_Target must be >= 0x8000 AND <= 0xffff"},
        RowCase{"RedTargetAboveRange", "Red_Target", "0x10000", "Red_Target must be >= 0x8000 AND <= 0xffff"},
        RowCase{"RedTargetSplitHex", "Red_Target", "0x80 00", "Red_Target= invalid decimal value"},
        RowCase{"RedTargetTrailingText", "Red_Target", "40000abc", "Red_Target= invalid decimal value"},
        RowCase{"CrystalInHex", "Crystal_Frequency", "0x2DC6C00", nullptr},
        RowCase{"CrystalOther", "Crystal_Frequency", "24000000", "Crystal_Frequency must be: 48000000 "},
        RowCase{"CrystalNotNumber", "Crystal_Frequency", "fast", "Crystal_Frequency= invalid decimal value"},
        RowCase{"RamWordSize512", "RAM_WordSize", "512", "RAM_WordSize must be: 256 1024 "},
        RowCase{"RamWordSize1024", "RAM_WordSize", "1024", nullptr},
        RowCase{"MaxSpeedOnlyComment", "Max_Speed", "// fast", "Max_Speed= missing value"},
        RowCase{"MaxSpeedEmpty", "Max_Speed", "", "Max_Speed= missing"},
        RowCase{"MaxSpeedTooSmall", "Max_Speed", "0.0001", "Max_Speed must be >= .001 AND <= 1000"},
        RowCase{"MaxSpeedLowestValue", "Max_Speed", ".001", nullptr},
        RowCase{"MaxSpeedNotNumber", "Max_Speed", "3.0.1", "Max_Speed= invalid float value"},
        RowCase{"MinimumGainBelowOne", "Minimum_Static_Gain", "0.99", "Minimum_Static_Gain must be >= 1. AND <= 10."},
        RowCase{"LineSeparationNegative", "Line_Separation", "-1000", nullptr},
        RowCase{"LineSeparationTooNegative", "Line_Separation", "-1000.5", "Line_Separation must be >= -1000 AND <= 1000"},
        RowCase{"PixelWidthTooWide", "Image_Pixel_Width", "16384", "Image_Pixel_Width must be >= 0 AND <= 16383"},
        RowCase{"TextKeepsInnerBlanks", "USB_Device", "A   B  // c", nullptr},
        RowCase{"TextOnlyComment", "USB_Manufacturer", "//", "USB_Manufacturer= missing value"},
        RowCase{"Steps25EightOn9832", "Steps_25", "8", nullptr},
        RowCase{"Steps25ThreeOn9832", "Steps_25", "3", "Steps_25 must be: 0 1 2 8 "},
        RowCase{"Steps25ThreeOn9831", "Steps_25", "3", nullptr, "Mirt9831.dsc"},
        RowCase{"Steps25EightOn9831", "Steps_25", "8", "Steps_25 must be: 0 1 2 3 ", "Mirt9831.dsc"},
        RowCase{"StepsToReverse200On9832", "Steps_To_Reverse", "200", nullptr},
        RowCase{"StepsToReverse200On9831", "Steps_To_Reverse", "200", "Steps_To_Reverse must be >= 0 AND <= 63", "Mirt9831.dsc"},
        RowCase{"BiasCurrentRequiredOn9832", "Bias_Current", nullptr, "Bias_Current= missing"},
        RowCase{"BiasCurrentBad", "Bias_Current", "90", "Bias_Current must be: 100 80 70 50 "},
        RowCase{"LastRowMissing", "MiscIO_6_Output_State", nullptr, "MiscIO_6_Output_State= missing"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DescriptionRows, StoredValuesByKind) {
    TestContext driver("rows");
    std::string text = ReferenceDescriptionWith("Chip", "lm9833 // comment");
    driver.installDescription(text);
    ASSERT_TRUE(LoadScannerDescription(driver.ctx())) << driver.ctx().record.messageText;
    const auto& d = driver.ctx().description;
    EXPECT_EQ(d.Chip, 2);
    EXPECT_STREQ(d.USB_Device, "Mirt Sheet Scanner");
    EXPECT_STREQ(d.USB_Manufacturer, "Mirt");
    EXPECT_EQ(d.Crystal_Frequency, 48000000);
    EXPECT_EQ(d.Red_Target, 0xD000);
    EXPECT_EQ(d.Black_Fine_Calibration, 1);
    EXPECT_DOUBLE_EQ(d.Max_Speed, 3.0);
    EXPECT_DOUBLE_EQ(d.Scanner_Length, 11.7);
    EXPECT_EQ(d.Bias_Current, 0);
    EXPECT_EQ(d.Input_Polarity, 1);
    EXPECT_EQ(d.TR_PHI_Guardband_Duration, 1);
    EXPECT_EQ(d.Gray_Channel, 2);
    EXPECT_EQ(d.Illumination_Mode, 1);
    EXPECT_EQ(d.RAM_WordSize, 256);
    EXPECT_EQ(d.Steps_25, 2);
    EXPECT_EQ(d.MiscIO_5_Type, 1);
    EXPECT_EQ(d.startPixel, 150);
    EXPECT_EQ(d.workingGreenDuty, 4095);
    EXPECT_EQ(d.clockDividerSetting, 0);
}

TEST(DescriptionRows, ChoiceStoresWordIndexNotWordValue) {
    TestContext driver("rows");
    driver.installDescription(ReferenceDescriptionWith("Steps_50", "8"));
    ASSERT_TRUE(LoadScannerDescription(driver.ctx()));
    EXPECT_EQ(driver.ctx().description.Steps_50, 3);
}

TEST(DescriptionRows, TextValueKeepsInnerBlanksWithoutComment) {
    TestContext driver("rows");
    driver.installDescription(ReferenceDescriptionWith("USB_Device", "  Mirt   Sheet\tScanner   // x"));
    ASSERT_TRUE(LoadScannerDescription(driver.ctx()));
    EXPECT_STREQ(driver.ctx().description.USB_Device, "Mirt   Sheet\tScanner");
    EXPECT_STREQ(driver.ctx().hardware.deviceName, "Mirt   Sheet\tScanner");
}

TEST(DescriptionRows, LongTextValueIsCutTo255Characters) {
    TestContext driver("rows");
    const std::string longName(400, 'N');
    driver.installDescription(ReferenceDescriptionWith("USB_Device", longName.c_str()));
    ASSERT_TRUE(LoadScannerDescription(driver.ctx()));
    EXPECT_EQ(std::strlen(driver.ctx().description.USB_Device), 255u);
    EXPECT_EQ(std::strlen(driver.ctx().hardware.deviceName), 255u);
}

TEST(DescriptionRows, Lm9831LeavesChipSpecificFieldsZero) {
    TestContext driver("rows");
    // Values a LM9832 would have; the LM9831 rows must not even look at them.
    std::string text = test::ReadWholeFile(test::DataDir() + "/Mirt9831.dsc");
    text += "Bias_Current=nonsense\nLampB_Output_ITA=nonsense\n";
    driver.installDescription(text);
    ASSERT_TRUE(LoadScannerDescription(driver.ctx())) << driver.ctx().record.messageText;
    const auto& d = driver.ctx().description;
    EXPECT_EQ(d.Chip, 0);
    EXPECT_EQ(d.Bias_Current, 0);
    EXPECT_EQ(d.LampB_Output_ITA, 0);
    EXPECT_EQ(d.Reverse_Motor_Direction, 0);
    EXPECT_EQ(d.Fullstep_During_Fastfeed, 0);
    EXPECT_EQ(d.Steps_25, 2);
}

}  // namespace
}  // namespace ordavel::description
