// Building a controller register image from the scanner description.
#include <cstdio>
#include <string>

#include "driver/description/register_image_builder.h"
#include "driver/description/register_programming.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::description {

namespace {

// A flag field sets its bit when it is non-zero.
int32_t Flag(int32_t field, int bit) { return field != 0 ? (1 << bit) : 0; }

// Pixels per sensor line the driver programs, whatever the description says.
constexpr int32_t kProgrammedTotalPixels = 2000;
// Pixels kept clear of the end of the sensor line.
constexpr int32_t kLineEndMargin = 20;

// Fixed values written without a description key. Their meaning is the controller's; the
// driver only needs them as they are:
// - 0x45 bit 4 enables the motor outputs (the probe clears it to scan with the motor still);
constexpr int32_t kMotorOutputsEnabled = 0x10;
// - 0x42 bit 5 is set by every driver of the chip;
constexpr int32_t kMemoryConfigFixedBit = 0x20;
// - 0x48/0x49: fast-feed step size in pixel periods (4 x 0x0110 per full step);
constexpr int32_t kFastFeedStepSize = 0x0110;
// - 0x4E/0x4F: the buffer pause limit until a set-up computes one;
constexpr int32_t kInitialPauseLimit = 0xE4;
// - 0x5E and 0x69: fixed values the controller is always given (every image write sets 0x69
//   again).
constexpr int32_t kRegister5EValue = 0x30;
constexpr int32_t kRegister69Value = 4;

void FillSensorSignalRegisters(const ScannerDescription& d, RegisterImage& image) {
    image[0x0A] = 0;
    image[0x0B] = Flag(d.Input_Polarity, 0) | Flag(d.CDS, 1) | Flag(d.Sensor_Type, 2) |
                  (d.CIS_TR_Timing == 1 ? 0x08 : 0) | (d.CIS_TR_Timing == 2 ? 0x10 : 0) |
                  Flag(d.Fake_Optical_Black_Pixels, 5);
    image[0x0C] = Flag(d.Phi1_Polarity, 0) | Flag(d.Phi2_Polarity, 1) | Flag(d.RS_Polarity, 2) |
                  Flag(d.CP1_Polarity, 3) | Flag(d.CP2_Polarity, 4) | Flag(d.TR1_Polarity, 5) |
                  Flag(d.TR2_Polarity, 6);
    image[0x0D] = Flag(d.Phi1_Status, 0) | Flag(d.Phi2_Status, 1) | Flag(d.RS_Status, 2) |
                  Flag(d.CP1_Status, 3) | Flag(d.CP2_Status, 4) | Flag(d.TR1_Status, 5) |
                  Flag(d.TR2_Status, 6) | Flag(d.TR_Pulse, 7);
    image[0x0E] = d.TR_Pulse_Duration | (d.TR_PHI_Guardband_Duration << 4);
}

void FillEdgeTimingRegisters(const ScannerDescription& d, RegisterImage& image, bool pixelRate) {
    const int32_t pixelTiming[10] = {
        d.Pixl_Optical_Black_Clamp_Start, d.Pixl_Optical_Black_Clamp_End, d.Pixl_Reset_Pulse_Start,
        d.Pixl_Reset_Pulse_End,           d.Pixl_CP1_Pulse_Start,          d.Pixl_CP1_Pulse_End,
        d.Pixl_CP2_Pulse_Start,           d.Pixl_CP2_Pulse_End,            d.Pixl_Reference_Sample,
        d.Pixl_Signal_Sample};
    const int32_t lineTiming[10] = {
        d.Line_Optical_Black_Clamp_Start, d.Line_Optical_Black_Clamp_End, d.Line_Reset_Pulse_Start,
        d.Line_Reset_Pulse_End,           d.Line_CP1_Pulse_Start,          d.Line_CP1_Pulse_End,
        d.Line_CP2_Pulse_Start,           d.Line_CP2_Pulse_End,            d.Line_Reference_Sample,
        d.Line_Signal_Sample};
    const int32_t* timing = pixelRate ? pixelTiming : lineTiming;
    for (int i = 0; i < 10; ++i) image[0x0F + i] = timing[i];
}

void FillPixelWindowRegisters(ScannerDescription& d, RegisterImage& image, bool calibrationPass) {
    image.set16(0x1A, d.TR_Stepper_Correction);
    image[0x1C] = d.Optical_Black_Pixels_Start;
    image[0x1D] = d.Optical_Black_Pixels_End;
    // A calibration pass keeps the start pixel calibration chose.
    if (!calibrationPass) d.startPixel = d.Optical_Black_Pixels_Start;
    image.set16(0x1E, d.startPixel);
    d.Total_Pixels = kProgrammedTotalPixels;
    image.set16(0x20, kProgrammedTotalPixels);
    image.set16(0x22, d.startPixel);
    int32_t end = d.startPixel + d.Image_Pixel_Width;
    if (end >= d.Total_Pixels - kLineEndMargin) end = d.Total_Pixels - kLineEndMargin;
    image.set16(0x24, end);
}

void FillLampRegisters(ScannerDescription& d, RegisterImage& image, int32_t channelMode) {
    image[0x28] = 0;
    image[0x29] = d.Illumination_Mode | (d.LampB_Output_ITA << 2);
    image.set16(0x2A, d.workingGreenDuty);
    if (channelMode == 4) {
        // One channel per line: the red and green lamps get zero-length pulses.
        d.Red_Lamp_Off = d.Red_Lamp_On;
        d.Green_Lamp_Off = d.Green_Lamp_On;
    }
    image.set16(0x2C, d.Red_Lamp_On);
    image.set16(0x2E, d.Red_Lamp_Off);
    image.set16(0x30, d.Green_Lamp_On);
    image.set16(0x32, d.Green_Lamp_Off);
    image.set16(0x34, d.Blue_Lamp_On);
    image.set16(0x36, d.Blue_Lamp_Off);
}

// The analogue front end's gains and offsets as coarse calibration stored them.
void FillFrontEndRegisters(DriverContext& ctx, RegisterImage& image) {
    const std::string settings = ctx.TempFilePath("Mirt.def");
    for (int reg = 0x38; reg <= 0x3D; ++reg) {
        char key[16];
        std::snprintf(key, sizeof key, "regs[0x%02x]", reg);
        image[reg] = platform::ReadProfileInt(settings, "GAIN_OFFSET", key, 0) & 0xFF;
    }
    for (int reg = 0x3E; reg <= 0x41; ++reg) image.markUnwritten(reg);
}

void FillMotorRegisters(const DriverContext& ctx, RegisterImage& image, bool calibrationPass) {
    const ScannerDescription& d = ctx.description;
    image[0x43] = 0;
    image[0x44] = 0;
    image[0x45] = (d.Stepping != 0 ? 0x03 : 0) | Flag(d.Phase_A_Polarity, 2) |
                  Flag(d.Phase_B_Polarity, 3) | kMotorOutputsEnabled | Flag(d.Reverse_Motor_Direction, 5) |
                  Flag(d.Fullstep_During_Fastfeed, 6);
    image.set16(0x46, kScanStepSize);
    image.set16(0x48, kFastFeedStepSize);
    image.set16(0x4A, calibrationPass ? d.Start_of_Calibration : d.Start_Of_Scan);
    image.set16(0x4C, d.Steps_to_Scan_After_PS2);
    image[0x4E] = kInitialPauseLimit;
    image[0x4F] = kInitialPauseLimit - 1;
    image[0x50] = d.Steps_To_Reverse;
    image[0x51] = (d.Steps_Stopped << 2) | (d.Steps_25 << 4) | (d.Steps_50 << 6);
    image[0x52] = 0;
    image[0x53] = 1;
    image[0x54] = d.Non_Reversing_Extra_Lines;
    image[0x55] = d.KickStart_Steps | (d.Hold_Current_Timeout << 3);
    image[0x56] = d.Stepper_PWM_Frequency;
    image[0x57] = d.Stepper_PWM_Duty_Cycle;
}

int32_t MiscIoNibble(int32_t type, int32_t polarity, int32_t trigger, int32_t outputState) {
    return type | (polarity << 1) | (trigger << 2) | (outputState << 3);
}

void FillIoRegisters(const DriverContext& ctx, RegisterImage& image) {
    const ScannerDescription& d = ctx.description;
    image[0x58] = PaperSensorConfigValue(ctx);
    const int32_t pin[6] = {
        MiscIoNibble(d.MiscIO_1_Type, d.MiscIO_1_Polarity, d.MiscIO_1_Trigger, d.MiscIO_1_Output_State),
        MiscIoNibble(d.MiscIO_2_Type, d.MiscIO_2_Polarity, d.MiscIO_2_Trigger, d.MiscIO_2_Output_State),
        MiscIoNibble(d.MiscIO_3_Type, d.MiscIO_3_Polarity, d.MiscIO_3_Trigger, d.MiscIO_3_Output_State),
        MiscIoNibble(d.MiscIO_4_Type, d.MiscIO_4_Polarity, d.MiscIO_4_Trigger, d.MiscIO_4_Output_State),
        MiscIoNibble(d.MiscIO_5_Type, d.MiscIO_5_Polarity, d.MiscIO_5_Trigger, d.MiscIO_5_Output_State),
        MiscIoNibble(d.MiscIO_6_Type, d.MiscIO_6_Polarity, d.MiscIO_6_Trigger, d.MiscIO_6_Output_State)};
    image[0x59] = pin[0] | (pin[1] << 4);
    image[0x5A] = pin[2] | (pin[3] << 4);
    image[0x5B] = pin[4] | (pin[5] << 4);
    for (int reg = 0x5C; reg < kRegisterCount; ++reg) image[reg] = 0;
    image[0x5E] = kRegister5EValue;
    image[0x69] = kRegister69Value;
}

}  // namespace

int32_t ChannelModeCode(int32_t colorMode, bool colourScan) {
    if (!colourScan) return 4;
    static constexpr int32_t kCodeOfColorMode[4] = {0, 1, 4, 5};
    return kCodeOfColorMode[colorMode & 3];
}

void FillSensorAndLampRegisters(DriverContext& ctx, RegisterImage& image, bool calibrationPass) {
    ScannerDescription& d = ctx.description;
    for (int reg : {0x00, 0x01, 0x02, 0x06}) image.markUnwritten(reg);
    for (int reg : {0x03, 0x04, 0x05, 0x07}) image[reg] = 0;
    image[0x08] = ClockRegisterValue(d.clockDividerSetting);
    image[0x09] = 0x18 | (d.Bias_Current << 6);
    FillSensorSignalRegisters(d, image);

    const bool colourScan = ctx.settings.colourScan;
    const int32_t channelMode = ChannelModeCode(d.Color_Mode, colourScan);
    // A single-channel scan cannot use the alternating lamp mode 2; mode 3 lights one lamp.
    if (!colourScan && d.Illumination_Mode == 2) d.Illumination_Mode = 3;

    FillEdgeTimingRegisters(d, image, colourScan && channelMode == 0);
    image[0x19] = 0;
    FillPixelWindowRegisters(d, image, calibrationPass);
    image[0x26] = channelMode | (d.Gray_Channel << 3) | Flag(d.TR_Red, 5) | Flag(d.TR_Green, 6) |
                  Flag(d.TR_Blue, 7);
    image[0x27] = d.TR_Red_Drop | (d.TR_Green_Drop << 2) | (d.TR_Blue_Drop << 4) | (d.Triple_TR << 6);
    FillLampRegisters(d, image, channelMode);
    if (!calibrationPass) {
        for (int reg = 0x38; reg <= 0x41; ++reg) image.markUnwritten(reg);
    }
}

void FillMemoryMotorAndIoRegisters(DriverContext& ctx, RegisterImage& image, bool calibrationPass,
                                   uint8_t memoryConfigOnChip) {
    image[0x42] = memoryConfigOnChip | kMemoryConfigFixedBit | ((ctx.description.RAM_WordSize / 1024) << 6);
    if (!calibrationPass) FillFrontEndRegisters(ctx, image);
    FillMotorRegisters(ctx, image, calibrationPass);
    FillIoRegisters(ctx, image);
}

bool BuildRegisterImage(DriverContext& ctx, RegisterImage& image, bool calibrationPass) {
    FillSensorAndLampRegisters(ctx, image, calibrationPass);
    uint8_t memoryConfig = 0;
    if (!device::ReadRegister(ctx, 0x42, memoryConfig)) return false;
    FillMemoryMotorAndIoRegisters(ctx, image, calibrationPass, memoryConfig);
    return true;
}

uint8_t PaperSensorConfigValue(const DriverContext& ctx) {
    const ScannerDescription& d = ctx.description;
    return static_cast<uint8_t>(d.Paper_Sensor_1_Polarity | (d.Paper_Sensor_1_Trigger << 1) |
                                (d.Paper_Sensor_1_Stop_Scan << 2) | (d.Paper_Sensor_2_Polarity << 3) |
                                (d.Paper_Sensor_2_Trigger << 4) | (d.Paper_Sensor_2_Stop_Scan << 5));
}

}  // namespace ordavel::description
