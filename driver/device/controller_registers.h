// Controller registers, sensor bits and command values the device layer itself uses.
#pragma once

#include <cstdint>

namespace ordavel::device {

// Registers and ports.
inline constexpr uint8_t kDataPort = 0x00;          // image data, read in bulk
inline constexpr uint8_t kSensorStatus = 0x02;      // paper sensors and feeder input, read only
inline constexpr uint8_t kMemoryAddressHigh = 0x04;
inline constexpr uint8_t kMemoryAddressLow = 0x05;
inline constexpr uint8_t kMemoryPort = 0x06;        // controller memory, address in 0x04/0x05
inline constexpr uint8_t kCommand = 0x07;
inline constexpr uint8_t kMotorControl = 0x45;      // read after commands that run something
inline constexpr uint8_t kFastFeedStepLow = 0x49;
inline constexpr uint8_t kSkipStepsHigh = 0x4A;
inline constexpr uint8_t kSkipStepsLow = 0x4B;
inline constexpr uint8_t kStepperPwmDuty = 0x57;
inline constexpr uint8_t kPaperSensorConfig = 0x58;
inline constexpr uint8_t kGpioPins56 = 0x5B;        // front-panel signals after a jam or open cover

// Bits of the sensor status register.
inline constexpr uint8_t kPaperAtSensor1 = 0x01;
inline constexpr uint8_t kPaperAtSensor2 = 0x02;
inline constexpr uint8_t kFeederEmptyOrCoverOpen = 0x04;

// Values of the command register.
inline constexpr uint8_t kCommandIdle = 0;
inline constexpr uint8_t kCommandFeed = 1;
inline constexpr uint8_t kCommandScan = 3;
inline constexpr uint8_t kCommandPosition = 5;
inline constexpr uint8_t kCommandProgramming = 0x20;

}  // namespace ordavel::device
