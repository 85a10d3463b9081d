// Building the register image: every register and bit the description feeds, the changes the
// build makes to the description, and scan versus calibration passes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/description/register_image_builder.h"
#include "driver/description/register_programming.h"
#include "tests/support/hand_description.h"
#include "tests/support/test_context.h"

namespace ordavel::description {
namespace {

using test::HandDescription;
using test::TestContext;

RegisterImage BuildWithChipValue(DriverContext& ctx, bool calibrationPass, uint8_t onChip,
                                  RegisterImage image = {}) {
    FillSensorAndLampRegisters(ctx, image, calibrationPass);
    FillMemoryMotorAndIoRegisters(ctx, image, calibrationPass, onChip);
    return image;
}

class RegisterImageBuild : public ::testing::Test {
protected:
    RegisterImageBuild() { ctx().description = HandDescription(1); }
    DriverContext& ctx() { return scratch.ctx(); }
    RegisterImage Build(bool calibrationPass = false, uint8_t onChip = 0) {
        return BuildWithChipValue(ctx(), calibrationPass, onChip);
    }
    TestContext scratch{"build"};
};

TEST_F(RegisterImageBuild, ReferenceGreyScanPassImage) {
    const std::string expected =
        "00: -- -- -- 00 00 00 -- 00 0A 18 00 00 00 00 13 00\n"
        "10: 00 00 00 00 00 00 00 00 00 00 00 01 96 95 00 96\n"
        "20: 07 D0 00 96 07 26 14 00 00 01 0F FF 00 0A 00 0A\n"
        "30: 00 0A 00 0A 00 0A 07 C6 00 00 00 00 00 00 -- --\n"
        "40: -- -- 20 00 00 10 01 F7 01 10 00 0F 00 00 E4 E3\n"
        "50: 00 00 00 01 02 00 00 00 09 02 00 00 00 00 30 00\n"
        "60: 00 00 00 00 00 00 00 00 00 04 00 00 00 00 00 00\n"
        "70: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n";
    EXPECT_EQ(Build().dump(), expected);
}

TEST_F(RegisterImageBuild, ScanPassSetsEveryRegisterButTheUnwrittenOnes) {
    RegisterImage image;
    for (int reg = 0; reg < kRegisterCount; ++reg) image[reg] = 0x1234;  // stale values
    image = BuildWithChipValue(ctx(), false, 0, image);
    for (int reg = 0; reg < kRegisterCount; ++reg) {
        const bool unwritten = reg <= 0x02 || reg == 0x06 || (reg >= 0x3E && reg <= 0x41);
        EXPECT_EQ(image.isWritten(reg), !unwritten) << "register " << std::hex << reg;
        if (!unwritten) {
            EXPECT_LE(image[reg], 0xFF) << "register " << std::hex << reg;
        }
    }
}

TEST_F(RegisterImageBuild, CalibrationPassKeepsFrontEndAndStartPixel) {
    ctx().description.startPixel = 171;  // chosen by calibration
    ctx().description.Start_of_Calibration = 0x0234;
    RegisterImage image;
    for (int reg = 0x38; reg <= 0x41; ++reg) image[reg] = reg - 0x30;
    image = BuildWithChipValue(ctx(), true, 0, image);
    for (int reg = 0x38; reg <= 0x41; ++reg) EXPECT_EQ(image[reg], reg - 0x30);
    EXPECT_EQ(image.get16(0x1E), 171);
    EXPECT_EQ(image.get16(0x22), 171);
    EXPECT_EQ(image.get16(0x24), 171 + 1680);
    EXPECT_EQ(image.get16(0x4A), 0x0234);
    EXPECT_EQ(ctx().description.startPixel, 171);
}

TEST_F(RegisterImageBuild, ScanPassResetsStartPixelAndTakesStartOfScan) {
    ctx().description.startPixel = 171;
    const RegisterImage image = Build();
    EXPECT_EQ(ctx().description.startPixel, 150);
    EXPECT_EQ(image.get16(0x1E), 150);
    EXPECT_EQ(image.get16(0x4A), 15);
}

TEST_F(RegisterImageBuild, ScanPassTakesStoredGainsAndOffsetsLowByte) {
    scratch.writeSettings(
        "[GAIN_OFFSET]\nregs[0x38]=17\nREGS[0X39]=511\nregs[0x3A]=3\nregs[0x3b]=-1\nregs[0x3c]=256\n");
    const RegisterImage image = Build();
    EXPECT_EQ(image[0x38], 17);
    EXPECT_EQ(image[0x39], 0xFF);
    EXPECT_EQ(image[0x3A], 3);
    EXPECT_EQ(image[0x3B], 0xFF);
    EXPECT_EQ(image[0x3C], 0);
    EXPECT_EQ(image[0x3D], 0);  // absent key
}

TEST_F(RegisterImageBuild, SensorLineIsAlways2000Pixels) {
    ctx().description.Total_Pixels = 5000;
    const RegisterImage image = Build();
    EXPECT_EQ(ctx().description.Total_Pixels, 2000);
    EXPECT_EQ(image.get16(0x20), 2000);
}

TEST_F(RegisterImageBuild, WindowEndStops20PixelsShortOfTheLine) {
    for (int width : {1829, 1830, 1831, 16383}) {
        ctx().description.Image_Pixel_Width = width;
        EXPECT_EQ(Build().get16(0x24), width < 1830 ? 150 + width : 1980) << "width " << width;
    }
}

TEST_F(RegisterImageBuild, MemoryConfigKeepsChipBitsAndAddsSizeAndFixedBit) {
    EXPECT_EQ(Build(false, 0x07)[0x42], 0x27);
    ctx().description.RAM_WordSize = 1024;
    EXPECT_EQ(Build(false, 0x81)[0x42], 0xE1);
}

TEST_F(RegisterImageBuild, ClockRegisterFollowsDividerSetting) {
    ctx().description.clockDividerSetting = 16;
    EXPECT_EQ(Build()[0x08], 14);
}

struct ColourCase {
    const char* name;
    int32_t colorMode;
    bool colourScan;
    int32_t channelCode;
    bool pixelRateTiming;
    bool redGreenPulsesZero;
};

class ChannelModeOfColourMode : public RegisterImageBuild, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ChannelModeOfColourMode, ProgramsModeTimingAndLamps) {
    const ColourCase& c = GetParam();
    {
        ScannerDescription& d = ctx().description;
        d.Color_Mode = c.colorMode;
        d.Gray_Channel = 0;
        d.Red_Lamp_Off = 1000;
        d.Green_Lamp_Off = 1100;
        d.Pixl_Optical_Black_Clamp_Start = 21;
        d.Pixl_Signal_Sample = 22;
        d.Line_Optical_Black_Clamp_Start = 5;
        d.Line_Signal_Sample = 6;
    }
    ctx().settings.colourScan = c.colourScan;
    const RegisterImage image = Build();
    EXPECT_EQ(image[0x26] & 7, c.channelCode);
    EXPECT_EQ(image[0x0F], c.pixelRateTiming ? 21 : 5);
    EXPECT_EQ(image[0x18], c.pixelRateTiming ? 22 : 6);
    const ScannerDescription& d = ctx().description;
    EXPECT_EQ(d.Red_Lamp_Off, c.redGreenPulsesZero ? 10 : 1000);
    EXPECT_EQ(d.Green_Lamp_Off, c.redGreenPulsesZero ? 10 : 1100);
    EXPECT_EQ(image.get16(0x2E), d.Red_Lamp_Off);
    EXPECT_EQ(image.get16(0x32), d.Green_Lamp_Off);
    EXPECT_EQ(d.Blue_Lamp_Off, 1990);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ChannelModeOfColourMode,
    ::testing::Values(ColourCase{"colour_mode0_pixel_rate", 0, true, 0, true, false},
                      ColourCase{"colour_mode1", 1, true, 1, false, false},
                      ColourCase{"colour_mode2", 2, true, 4, false, true},
                      ColourCase{"colour_mode3", 3, true, 5, false, false},
                      ColourCase{"grey_mode0", 0, false, 4, false, true},
                      ColourCase{"grey_mode1", 1, false, 4, false, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RegisterImageBuild, GreyScanTurnsLampMode2Into3ButColourKeepsIt) {
    ctx().description.Illumination_Mode = 2;
    EXPECT_EQ(Build()[0x29] & 3, 3);
    EXPECT_EQ(ctx().description.Illumination_Mode, 3);

    ctx().description.Illumination_Mode = 2;
    ctx().settings.colourScan = true;
    EXPECT_EQ(Build()[0x29] & 3, 2);
    EXPECT_EQ(ctx().description.Illumination_Mode, 2);
}

// One description field changed from the reference: the registers and bits it must reach, and
// no other register may change.
struct Expect {
    int reg;
    int mask;
    int value;
};

struct FieldCase {
    const char* name;
    int32_t ScannerDescription::*field;
    int32_t value;
    std::vector<Expect> expects;
};

#define FIELD(f) #f, &ScannerDescription::f

std::vector<FieldCase> FieldCases() {
    std::vector<FieldCase> cases = {
        {FIELD(Bias_Current), 2, {{0x09, 0xC0, 0x80}}},
        {FIELD(Input_Polarity), 1, {{0x0B, 0x01, 0x01}}},
        {FIELD(CDS), 1, {{0x0B, 0x02, 0x02}}},
        {FIELD(Sensor_Type), 1, {{0x0B, 0x04, 0x04}}},
        {FIELD(CIS_TR_Timing), 1, {{0x0B, 0x18, 0x08}}},
        {FIELD(CIS_TR_Timing), 2, {{0x0B, 0x18, 0x10}}},
        {FIELD(Fake_Optical_Black_Pixels), 1, {{0x0B, 0x20, 0x20}}},
        {FIELD(Phi1_Polarity), 1, {{0x0C, 0x01, 0x01}}},
        {FIELD(Phi2_Polarity), 1, {{0x0C, 0x02, 0x02}}},
        {FIELD(RS_Polarity), 1, {{0x0C, 0x04, 0x04}}},
        {FIELD(CP1_Polarity), 1, {{0x0C, 0x08, 0x08}}},
        {FIELD(CP2_Polarity), 1, {{0x0C, 0x10, 0x10}}},
        {FIELD(TR1_Polarity), 1, {{0x0C, 0x20, 0x20}}},
        {FIELD(TR2_Polarity), 1, {{0x0C, 0x40, 0x40}}},
        {FIELD(Phi1_Status), 1, {{0x0D, 0x01, 0x01}}},
        {FIELD(Phi2_Status), 1, {{0x0D, 0x02, 0x02}}},
        {FIELD(RS_Status), 1, {{0x0D, 0x04, 0x04}}},
        {FIELD(CP1_Status), 1, {{0x0D, 0x08, 0x08}}},
        {FIELD(CP2_Status), 1, {{0x0D, 0x10, 0x10}}},
        {FIELD(TR1_Status), 1, {{0x0D, 0x20, 0x20}}},
        {FIELD(TR2_Status), 1, {{0x0D, 0x40, 0x40}}},
        {FIELD(TR_Pulse), 1, {{0x0D, 0x80, 0x80}}},
        {FIELD(TR_Pulse_Duration), 5, {{0x0E, 0x0F, 0x05}}},
        {FIELD(TR_PHI_Guardband_Duration), 7, {{0x0E, 0xF0, 0x70}}},
        {FIELD(Line_Optical_Black_Clamp_Start), 1, {{0x0F, 0xFF, 1}}},
        {FIELD(Line_Optical_Black_Clamp_End), 2, {{0x10, 0xFF, 2}}},
        {FIELD(Line_Reset_Pulse_Start), 3, {{0x11, 0xFF, 3}}},
        {FIELD(Line_Reset_Pulse_End), 4, {{0x12, 0xFF, 4}}},
        {FIELD(Line_CP1_Pulse_Start), 5, {{0x13, 0xFF, 5}}},
        {FIELD(Line_CP1_Pulse_End), 6, {{0x14, 0xFF, 6}}},
        {FIELD(Line_CP2_Pulse_Start), 7, {{0x15, 0xFF, 7}}},
        {FIELD(Line_CP2_Pulse_End), 1, {{0x16, 0xFF, 1}}},
        {FIELD(Line_Reference_Sample), 2, {{0x17, 0xFF, 2}}},
        {FIELD(Line_Signal_Sample), 3, {{0x18, 0xFF, 3}}},
        {FIELD(Pixl_Optical_Black_Clamp_Start), 9, {}},  // grey scans use line-rate timing
        {FIELD(TR_Stepper_Correction), 0x1234, {{0x1A, 0xFF, 0x12}, {0x1B, 0xFF, 0x34}}},
        {FIELD(Optical_Black_Pixels_Start), 200,
         {{0x1C, 0xFF, 200}, {0x1F, 0xFF, 200}, {0x23, 0xFF, 200}, {0x25, 0xFF, 0x58}}},
        {FIELD(Optical_Black_Pixels_End), 77, {{0x1D, 0xFF, 77}}},
        {FIELD(Image_Pixel_Width), 1000, {{0x24, 0xFF, 0x04}, {0x25, 0xFF, 0x7E}}},
        {FIELD(Gray_Channel), 1, {{0x26, 0x18, 0x08}}},
        {FIELD(TR_Red), 1, {{0x26, 0x20, 0x20}}},
        {FIELD(TR_Green), 1, {{0x26, 0x40, 0x40}}},
        {FIELD(TR_Blue), 1, {{0x26, 0x80, 0x80}}},
        {FIELD(TR_Red_Drop), 2, {{0x27, 0x03, 0x02}}},
        {FIELD(TR_Green_Drop), 1, {{0x27, 0x0C, 0x04}}},
        {FIELD(TR_Blue_Drop), 2, {{0x27, 0x30, 0x20}}},
        {FIELD(Triple_TR), 1, {{0x27, 0x40, 0x40}}},
        {FIELD(Illumination_Mode), 3, {{0x29, 0x03, 0x03}}},
        {FIELD(LampB_Output_ITA), 1, {{0x29, 0x04, 0x04}}},
        {FIELD(workingGreenDuty), 0x0ABC, {{0x2A, 0xFF, 0x0A}, {0x2B, 0xFF, 0xBC}}},
        // Grey: the red and green pulses have zero length (off := on).
        {FIELD(Red_Lamp_On), 0x0123, {{0x2C, 0xFF, 1}, {0x2D, 0xFF, 0x23}, {0x2E, 0xFF, 1}, {0x2F, 0xFF, 0x23}}},
        {FIELD(Red_Lamp_Off), 0x0555, {}},
        {FIELD(Green_Lamp_On), 0x0124, {{0x30, 0xFF, 1}, {0x31, 0xFF, 0x24}, {0x32, 0xFF, 1}, {0x33, 0xFF, 0x24}}},
        {FIELD(Blue_Lamp_On), 0x0456, {{0x34, 0xFF, 0x04}, {0x35, 0xFF, 0x56}}},
        {FIELD(Blue_Lamp_Off), 0x0889, {{0x36, 0xFF, 0x08}, {0x37, 0xFF, 0x89}}},
        {FIELD(RAM_WordSize), 1024, {{0x42, 0x40, 0x40}}},
        {FIELD(Stepping), 1, {{0x45, 0x03, 0x03}}},
        {FIELD(Phase_A_Polarity), 1, {{0x45, 0x04, 0x04}}},
        {FIELD(Phase_B_Polarity), 1, {{0x45, 0x08, 0x08}}},
        {FIELD(Reverse_Motor_Direction), 1, {{0x45, 0x20, 0x20}}},
        {FIELD(Fullstep_During_Fastfeed), 1, {{0x45, 0x40, 0x40}}},
        {FIELD(Start_Of_Scan), 0x0123, {{0x4A, 0xFF, 0x01}, {0x4B, 0xFF, 0x23}}},
        {FIELD(Start_of_Calibration), 0x0123, {}},  // scan passes use Start_Of_Scan
        {FIELD(Steps_to_Scan_After_PS2), 0x0321, {{0x4C, 0xFF, 0x03}, {0x4D, 0xFF, 0x21}}},
        {FIELD(Steps_To_Reverse), 9, {{0x50, 0xFF, 9}}},
        {FIELD(Steps_Stopped), 3, {{0x51, 0x0C, 0x0C}}},
        {FIELD(Steps_25), 1, {{0x51, 0x30, 0x10}}},
        {FIELD(Steps_50), 2, {{0x51, 0xC0, 0x80}}},
        {FIELD(Non_Reversing_Extra_Lines), 5, {{0x54, 0xFF, 5}}},
        {FIELD(KickStart_Steps), 5, {{0x55, 0x07, 5}}},
        {FIELD(Hold_Current_Timeout), 17, {{0x55, 0xF8, 0x88}}},
        {FIELD(Stepper_PWM_Frequency), 200, {{0x56, 0xFF, 200}}},
        {FIELD(Stepper_PWM_Duty_Cycle), 33, {{0x57, 0xFF, 33}}},
        {FIELD(Paper_Sensor_1_Polarity), 0, {{0x58, 0x01, 0x00}}},
        {FIELD(Paper_Sensor_1_Trigger), 1, {{0x58, 0x02, 0x02}}},
        {FIELD(Paper_Sensor_1_Stop_Scan), 1, {{0x58, 0x04, 0x04}}},
        {FIELD(Paper_Sensor_2_Polarity), 0, {{0x58, 0x08, 0x00}}},
        {FIELD(Paper_Sensor_2_Trigger), 1, {{0x58, 0x10, 0x10}}},
        {FIELD(Paper_Sensor_2_Stop_Scan), 1, {{0x58, 0x20, 0x20}}},
    };
    // General-purpose pins: pin n sits in register 0x59 + (n - 1) / 2, low nibble for odd n.
    const std::vector<std::pair<const char*, int32_t ScannerDescription::*>> pins[6] = {
        {{FIELD(MiscIO_1_Type)}, {FIELD(MiscIO_1_Polarity)}, {FIELD(MiscIO_1_Trigger)}, {FIELD(MiscIO_1_Output_State)}},
        {{FIELD(MiscIO_2_Type)}, {FIELD(MiscIO_2_Polarity)}, {FIELD(MiscIO_2_Trigger)}, {FIELD(MiscIO_2_Output_State)}},
        {{FIELD(MiscIO_3_Type)}, {FIELD(MiscIO_3_Polarity)}, {FIELD(MiscIO_3_Trigger)}, {FIELD(MiscIO_3_Output_State)}},
        {{FIELD(MiscIO_4_Type)}, {FIELD(MiscIO_4_Polarity)}, {FIELD(MiscIO_4_Trigger)}, {FIELD(MiscIO_4_Output_State)}},
        {{FIELD(MiscIO_5_Type)}, {FIELD(MiscIO_5_Polarity)}, {FIELD(MiscIO_5_Trigger)}, {FIELD(MiscIO_5_Output_State)}},
        {{FIELD(MiscIO_6_Type)}, {FIELD(MiscIO_6_Polarity)}, {FIELD(MiscIO_6_Trigger)}, {FIELD(MiscIO_6_Output_State)}},
    };
    const ScannerDescription reference = HandDescription(1);
    for (int pin = 0; pin < 6; ++pin) {
        for (int bit = 0; bit < 4; ++bit) {
            const auto& [name, field] = pins[pin][static_cast<std::size_t>(bit)];
            const int mask = 1 << (bit + 4 * (pin % 2));
            const int32_t flipped = reference.*field != 0 ? 0 : 1;
            cases.push_back({name, field, flipped, {{0x59 + pin / 2, mask, flipped != 0 ? mask : 0}}});
        }
    }
    return cases;
}

#undef FIELD

class OneFieldReachesItsRegister : public ::testing::TestWithParam<FieldCase> {};

TEST_P(OneFieldReachesItsRegister, AndNothingElse) {
    const FieldCase& c = GetParam();
    TestContext scratch("field");
    scratch.ctx().description = HandDescription(1);
    const RegisterImage baseline = BuildWithChipValue(scratch.ctx(), false, 0);
    scratch.ctx().description = HandDescription(1);
    scratch.ctx().description.*c.field = c.value;
    const RegisterImage changed = BuildWithChipValue(scratch.ctx(), false, 0);

    std::vector<bool> expected(kRegisterCount, false);
    for (const Expect& e : c.expects) {
        expected[static_cast<std::size_t>(e.reg)] = true;
        EXPECT_EQ(changed[e.reg] & e.mask, e.value) << "register " << std::hex << e.reg;
        EXPECT_NE(baseline[e.reg] & e.mask, e.value) << "reference already holds it: " << std::hex << e.reg;
    }
    for (int reg = 0; reg < kRegisterCount; ++reg) {
        if (!expected[static_cast<std::size_t>(reg)]) {
            EXPECT_EQ(changed[reg], baseline[reg]) << "register " << std::hex << reg << " changed\n"
                                                   << changed.dump();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, OneFieldReachesItsRegister, ::testing::ValuesIn(FieldCases()),
                         [](const auto& p) { return std::string(p.param.name) + "_" + std::to_string(p.index); });

TEST_F(RegisterImageBuild, ColourScanKeepsRedAndGreenLampOffTimes) {
    ctx().settings.colourScan = true;
    ctx().description.Color_Mode = 1;
    ctx().description.Red_Lamp_Off = 0x0555;
    ctx().description.Green_Lamp_Off = 0x0666;
    const RegisterImage image = Build();
    EXPECT_EQ(image.get16(0x2E), 0x0555);
    EXPECT_EQ(image.get16(0x32), 0x0666);
}

TEST(PaperSensorConfig, MatchesTheBuiltRegister) {
    TestContext scratch("paper");
    scratch.ctx().description = HandDescription(1);
    scratch.ctx().description.Paper_Sensor_2_Stop_Scan = 1;
    scratch.ctx().description.Paper_Sensor_1_Trigger = 1;
    EXPECT_EQ(PaperSensorConfigValue(scratch.ctx()), 0x09 | 0x20 | 0x02);
    EXPECT_EQ(BuildWithChipValue(scratch.ctx(), false, 0)[0x58], 0x2B);
}

}  // namespace
}  // namespace ordavel::description
