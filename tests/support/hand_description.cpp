// The reference scanner's description values, filled by hand.
#include "tests/support/hand_description.h"

#include <cstring>

namespace ordavel::test {

description::ScannerDescription HandDescription(int32_t chip) {
    description::ScannerDescription d{};
    d.Chip = chip;
    d.File_Version = 11;
    std::strcpy(d.USB_Device, "Mirt Sheet Scanner");
    std::strcpy(d.USB_Manufacturer, "Mirt");
    d.Crystal_Frequency = 48000000;
    d.Red_Target = d.Green_Target = d.Blue_Target = 0xD000;
    d.Min_Red_Target = d.Min_Green_Target = d.Min_Blue_Target = 0x0400;
    d.Black_Fine_Calibration = 1;
    d.Motor_Steps_Per_Inch = 200;
    d.Max_Speed = 3.0;
    d.Start_of_Calibration = 0;
    d.Calibration_Strip_Height = 32;
    d.Start_Of_Scan = 15;
    d.Mirror_Image = 0;
    d.Image_Pixel_Width = 1680;
    d.Scanner_Length = 11.7;
    d.Minimum_Static_Gain = 1.0;
    d.Optical_Resolution = 200;
    d.Max_Sensor_Resolution = 200;
    d.Total_Pixels = 2000;
    d.TR_Pulse = 0;
    d.TR_Pulse_Duration = 3;
    d.TR_PHI_Guardband_Duration = 1;
    d.CIS_TR_Timing = 0;
    d.TR_Stepper_Correction = 1;
    d.Optical_Black_Pixels_Start = 150;
    d.Optical_Black_Pixels_End = 149;
    d.Color_Mode = 0;
    d.Gray_Channel = 2;
    d.Illumination_Mode = 1;
    d.Green_PWM_Duty_Cycle_High = 4095;
    d.Green_PWM_Duty_Cycle_Low = 2048;
    d.Red_Lamp_On = d.Green_Lamp_On = d.Blue_Lamp_On = 10;
    d.Red_Lamp_Off = d.Green_Lamp_Off = d.Blue_Lamp_Off = 1990;
    d.RAM_WordSize = 256;
    d.Stepping = 0;
    d.Steps_To_Reverse = 0;
    d.Non_Reversing_Extra_Lines = 2;
    d.Home_Sensor = 1;
    d.Paper_Sensor_1_Polarity = 1;
    d.Paper_Sensor_2_Polarity = 1;
    d.MiscIO_1_Polarity = 1;
    d.startPixel = d.Optical_Black_Pixels_Start;
    d.workingGreenDuty = d.Green_PWM_Duty_Cycle_High;
    d.clockDividerSetting = 12;
    return d;
}

}  // namespace ordavel::test
