// The in-memory scanner description: one field per description key, plus the working fields
// that scan set-up and calibration adjust. Rebuilt from the file on every load.
#pragma once

#include <cstdint>

namespace ordavel::description {

inline constexpr int kTextFieldSize = 260;

struct ScannerDescription {
    // [File Settings]
    int32_t Chip;
    int32_t File_Version;
    char USB_Device[kTextFieldSize];
    char USB_Manufacturer[kTextFieldSize];
    // [Scanner Software Settings]
    int32_t Crystal_Frequency;
    int32_t Red_Target;
    int32_t Green_Target;
    int32_t Blue_Target;
    int32_t Min_Red_Target;
    int32_t Min_Green_Target;
    int32_t Min_Blue_Target;
    int32_t Black_Fine_Calibration;
    // [Scanner Hardware Settings]
    int32_t Motor_Steps_Per_Inch;
    double Max_Speed;
    int32_t Start_of_Calibration;
    int32_t Calibration_Strip_Height;
    int32_t Start_Of_Scan;
    int32_t Mirror_Image;
    int32_t Image_Pixel_Width;
    double Scanner_Length;
    double Minimum_Static_Gain;
    int32_t Bias_Current;
    // [Sensor Settings]
    int32_t Input_Polarity;
    int32_t CDS;
    int32_t Sensor_Type;
    int32_t Optical_Resolution;
    int32_t Max_Sensor_Resolution;
    double Line_Separation;
    double EvenOdd_Line_Separation;
    int32_t Total_Pixels;
    double Maximum_Integration_Time_Highlamp;
    double Maximum_Integration_Time_Lowlamp;
    double Minimum_Integration_Time_HighRes;
    double Minimum_Integration_Time_LowRes;
    int32_t Maximum_IntTimeAdj;
    int32_t Phi1_Polarity;
    int32_t Phi2_Polarity;
    int32_t RS_Polarity;
    int32_t CP1_Polarity;
    int32_t CP2_Polarity;
    int32_t TR1_Polarity;
    int32_t TR2_Polarity;
    int32_t Phi1_Status;
    int32_t Phi2_Status;
    int32_t RS_Status;
    int32_t CP1_Status;
    int32_t CP2_Status;
    int32_t TR1_Status;
    int32_t TR2_Status;
    int32_t TR_Pulse;
    int32_t TR_Pulse_Duration;
    int32_t TR_PHI_Guardband_Duration;
    // [Pixel Rate Timing]
    int32_t Pixl_Optical_Black_Clamp_Start;
    int32_t Pixl_Optical_Black_Clamp_End;
    int32_t Pixl_Reset_Pulse_Start;
    int32_t Pixl_Reset_Pulse_End;
    int32_t Pixl_CP1_Pulse_Start;
    int32_t Pixl_CP1_Pulse_End;
    int32_t Pixl_CP2_Pulse_Start;
    int32_t Pixl_CP2_Pulse_End;
    int32_t Pixl_Reference_Sample;
    int32_t Pixl_Signal_Sample;
    // [Line Rate Timing]
    int32_t Line_Optical_Black_Clamp_Start;
    int32_t Line_Optical_Black_Clamp_End;
    int32_t Line_Reset_Pulse_Start;
    int32_t Line_Reset_Pulse_End;
    int32_t Line_CP1_Pulse_Start;
    int32_t Line_CP1_Pulse_End;
    int32_t Line_CP2_Pulse_Start;
    int32_t Line_CP2_Pulse_End;
    int32_t Line_Reference_Sample;
    int32_t Line_Signal_Sample;
    // [Misc Timing]
    int32_t CIS_TR_Timing;
    int32_t Fake_Optical_Black_Pixels;
    int32_t TR_Stepper_Correction;
    int32_t Optical_Black_Pixels_Start;
    int32_t Optical_Black_Pixels_End;
    int32_t Color_Mode;
    int32_t Gray_Channel;
    // [3 Channel Line Rate Settings]
    int32_t TR_Red;
    int32_t TR_Green;
    int32_t TR_Blue;
    int32_t TR_Red_Drop;
    int32_t TR_Green_Drop;
    int32_t TR_Blue_Drop;
    int32_t Triple_TR;
    // [Illumination Settings]
    int32_t Illumination_Mode;
    int32_t LampB_Output_ITA;
    int32_t Green_PWM_Duty_Cycle_High;
    int32_t Green_PWM_Duty_Cycle_Low;
    int32_t Red_Lamp_On;
    int32_t Red_Lamp_Off;
    int32_t Green_Lamp_On;
    int32_t Green_Lamp_Off;
    int32_t Blue_Lamp_On;
    int32_t Blue_Lamp_Off;
    // [I/O Settings]
    int32_t RAM_WordSize;
    // [Stepper Motor Settings]
    int32_t Stepping;
    int32_t Phase_A_Polarity;
    int32_t Phase_B_Polarity;
    int32_t Reverse_Motor_Direction;
    int32_t Fullstep_During_Fastfeed;
    int32_t Steps_to_Scan_After_PS2;
    int32_t Steps_To_Reverse;
    int32_t Steps_Stopped;
    int32_t Steps_25;
    int32_t Steps_50;
    int32_t Non_Reversing_Extra_Lines;
    int32_t KickStart_Steps;
    int32_t Hold_Current_Timeout;
    int32_t Stepper_PWM_Frequency;
    int32_t Stepper_PWM_Duty_Cycle;
    // [Paper Sensor]
    int32_t Home_Sensor;
    int32_t Paper_Sensor_1_Polarity;
    int32_t Paper_Sensor_1_Trigger;
    int32_t Paper_Sensor_1_Stop_Scan;
    int32_t Paper_Sensor_2_Polarity;
    int32_t Paper_Sensor_2_Trigger;
    int32_t Paper_Sensor_2_Stop_Scan;
    // [Misc I/O]
    int32_t MiscIO_1_Type;
    int32_t MiscIO_1_Polarity;
    int32_t MiscIO_1_Trigger;
    int32_t MiscIO_1_Output_State;
    int32_t MiscIO_2_Type;
    int32_t MiscIO_2_Polarity;
    int32_t MiscIO_2_Trigger;
    int32_t MiscIO_2_Output_State;
    int32_t MiscIO_3_Type;
    int32_t MiscIO_3_Polarity;
    int32_t MiscIO_3_Trigger;
    int32_t MiscIO_3_Output_State;
    int32_t MiscIO_4_Type;
    int32_t MiscIO_4_Polarity;
    int32_t MiscIO_4_Trigger;
    int32_t MiscIO_4_Output_State;
    int32_t MiscIO_5_Type;
    int32_t MiscIO_5_Polarity;
    int32_t MiscIO_5_Trigger;
    int32_t MiscIO_5_Output_State;
    int32_t MiscIO_6_Type;
    int32_t MiscIO_6_Polarity;
    int32_t MiscIO_6_Trigger;
    int32_t MiscIO_6_Output_State;

    // Working fields (zeroed by every load like the key fields).
    int32_t startPixel;            // first sensor pixel delivered as image data
    int32_t workingGreenDuty;      // feeds registers 0x2A/0x2B
    int32_t clockDividerSetting;   // half-units of the master clock divider
};

// Chip tests used throughout the driver.
inline bool IsLM9831(const ScannerDescription& d) { return d.Chip == 0; }
inline bool IsLM9832(const ScannerDescription& d) { return d.Chip == 1; }
inline bool IsLM9833(const ScannerDescription& d) { return d.Chip == 2; }

}  // namespace ordavel::description
