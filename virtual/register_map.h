// Names of the controller registers and bit fields the model gives a meaning to.
#pragma once

#include <array>
#include <cstdint>

namespace ordavel::virtual_scanner {

namespace reg {
inline constexpr uint8_t kDataPort = 0x00;
inline constexpr uint8_t kDataCounter = 0x01;
inline constexpr uint8_t kStatus = 0x02;
inline constexpr uint8_t kMemorySelect = 0x03;
inline constexpr uint8_t kMemoryAddressHigh = 0x04;
inline constexpr uint8_t kMemoryAddressLow = 0x05;
inline constexpr uint8_t kMemoryData = 0x06;
inline constexpr uint8_t kCommand = 0x07;
inline constexpr uint8_t kClockDivider = 0x08;
inline constexpr uint8_t kPixelFormat = 0x09;       // bits 2:0 divider, 5:3 depth
inline constexpr uint8_t kTrTiming = 0x0A;          // bits 1:0 pulse unit select, 3:2 speed
inline constexpr uint8_t kSensorConfig = 0x0B;      // bits 4:3 CIS TR timing
inline constexpr uint8_t kSensorControl = 0x0D;     // bit 7 two TR pulses
inline constexpr uint8_t kTrPulse = 0x0E;           // bits 3:0 duration, 7:4 guard band
inline constexpr uint8_t kLineLengthHigh = 0x20;
inline constexpr uint8_t kDataStartHigh = 0x22;
inline constexpr uint8_t kDataEndHigh = 0x24;
inline constexpr uint8_t kChannelMode = 0x26;       // bits 2:0 mode, 4:3 grey channel
inline constexpr uint8_t kIllumination = 0x29;      // bits 1:0 mode (0 = lamp off)
inline constexpr uint8_t kLampDutyHigh = 0x2A;
inline constexpr uint8_t kLampTimesHigh = 0x2C;     // red on, red off, green on/off, blue on/off
inline constexpr uint8_t kOffsetRed = 0x38;         // 0x38..0x3A offsets, red green blue
inline constexpr uint8_t kGainRed = 0x3B;           // 0x3B..0x3D gains, red green blue
inline constexpr uint8_t kMemoryConfig = 0x42;
inline constexpr uint8_t kMotorConfig = 0x45;
inline constexpr uint8_t kScanStepHigh = 0x46;
inline constexpr uint8_t kFastStepHigh = 0x48;
inline constexpr uint8_t kSkipStepsHigh = 0x4A;
inline constexpr uint8_t kStopStepsHigh = 0x4C;
inline constexpr uint8_t kPauseLimit = 0x4E;
inline constexpr uint8_t kResumeLimit = 0x4F;
inline constexpr uint8_t kPaperSensorConfig = 0x58;
inline constexpr uint8_t kMiscIo12 = 0x59;
inline constexpr uint8_t kVersion = 0x69;
inline constexpr uint8_t kLast = 0x7F;
}  // namespace reg

namespace bits {
inline constexpr uint8_t kMemoryGainFromDram = 0x02;    // 0x42
inline constexpr uint8_t kMemoryOffsetFromDram = 0x04;  // 0x42
inline constexpr uint8_t kMemoryLarge = 0x40;           // 0x42: 2 MiB instead of 512 KiB
inline constexpr uint8_t kMotorOutputsEnabled = 0x10;   // 0x45
inline constexpr uint8_t kMotorReverse = 0x20;          // 0x45
inline constexpr uint8_t kEngineStopped = 0x10;         // 0x03 when read
// 0x58: paper sensor 1 in bits 2:0, paper sensor 2 in bits 5:3 (polarity, edge, stop scan).
inline constexpr uint8_t kSensorPolarityHigh = 0x01;
inline constexpr uint8_t kSensorEdge = 0x02;
inline constexpr uint8_t kSensorStopScan = 0x04;
// 0x59 low nibble: general-purpose pin 1 (output, polarity high, edge, output state).
inline constexpr uint8_t kPinOutput = 0x01;
inline constexpr uint8_t kPinPolarityHigh = 0x02;
inline constexpr uint8_t kPinEdge = 0x04;
inline constexpr uint8_t kPinOutputState = 0x08;
}  // namespace bits

namespace command {
inline constexpr uint8_t kIdle = 0x00;
inline constexpr uint8_t kFeed = 0x01;
inline constexpr uint8_t kScan = 0x03;
inline constexpr uint8_t kMove = 0x05;
inline constexpr uint8_t kProgramming = 0x20;
}  // namespace command

// The 128 registers as last written by the host.
class RegisterFile {
public:
    uint8_t get(uint8_t address) const { return values_[address & 0x7F]; }
    void set(uint8_t address, uint8_t value) { values_[address & 0x7F] = value; }
    // A 16-bit quantity in two registers, high byte first.
    uint16_t word(uint8_t highAddress) const {
        return static_cast<uint16_t>(get(highAddress) << 8 | get(static_cast<uint8_t>(highAddress + 1)));
    }

private:
    std::array<uint8_t, 128> values_{};
};

}  // namespace ordavel::virtual_scanner
