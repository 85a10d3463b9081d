// What the chip takes from its registers to run: the pixel, line and step timing, and the
// settings of one scan latched when the scan command is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "virtual/register_map.h"
#include "virtual/timebase.h"

namespace ordavel::virtual_scanner {

enum class ChannelMode {
    PixelRateColour,  // 0x26 mode 0: three samples per pixel, pixel period tripled
    LineRateColour,   // modes 1 and 5: a red, a green and a blue line in turn
    OneChannel,       // every other mode: one sample per pixel through the blue channel
};

ChannelMode ChannelModeOf(uint8_t channelModeRegister);

struct Timing {
    Ticks pixelPeriod = 0;     // one pixel period
    uint32_t linePixels = 0;   // pixel periods per line (per colour line in line-rate colour)
    Ticks linePeriod = 0;
    Ticks scanStepPeriod = 0;  // one full step while acquiring (0x46/0x47)
    Ticks fastStepPeriod = 0;  // one full step in moves and in the skip before a scan (0x48/0x49)
};

// Master clock 48 MHz / divider with 0x08 = 2 × (divider − 1); a pixel period is 8 master
// clocks (24 in pixel-rate colour); a line is the line length (0x20/0x21) plus the TR sequence;
// a full step lasts 4 × step size pixel periods (step sizes below 2 count as 2).
Timing ComputeTiming(const RegisterFile& registers);

// Pixel periods the TR sequence adds to each line, from 0x0A, 0x0B, 0x0D and 0x0E.
uint32_t TrOverheadPixels(const RegisterFile& registers);

// Data pixel registers count line pixels from the first pixel after the TR sequence; the start
// pixel (0x1E/0x1F) and optical black range (0x1C/0x1D) registers are not modelled.
struct ScanSettings {
    Timing timing;
    ChannelMode mode = ChannelMode::OneChannel;
    int samplesPerPixel = 1;  // 3 in pixel-rate colour

    uint32_t dataStart = 0;    // first data pixel (line pixel index)
    uint32_t dataEnd = 0;      // exclusive
    int dividerHalves = 2;     // horizontal divider in halves: 2, 3, 4, 6, 8, 12, 16, 24
    int bits = 8;              // 1, 2, 4, 8 or 16
    uint32_t outputPixels = 0;
    std::size_t dataBytes = 0;  // packed pixels per line, even
    std::size_t lineBytes = 0;  // dataBytes plus the 2-byte status word

    bool lampsPowered = false;                // illumination mode not "off"
    std::array<uint32_t, 3> lampOn{}, lampOff{};  // pixel periods within the line
    uint32_t lampDuty = 0;                    // 0x2A/0x2B, 12-bit PWM (more saturates)
    std::array<uint8_t, 3> offsetCode{}, gainCode{};

    bool shadeOffset = false;  // 0x42 bit 2
    bool shadeGain = false;    // 0x42 bit 1

    uint32_t skipSteps = 0;  // 0x4A/0x4B
    uint32_t stopSteps = 0;  // 0x4C/0x4D
    bool stopOnSensor1 = false, stopOnSensor2 = false;
};

ScanSettings LatchScanSettings(const RegisterFile& registers);

}  // namespace ordavel::virtual_scanner
