// The two halves of building a register image from the description, split where the build
// reads the chip's memory configuration (register 0x42), so each half can be checked alone.
#pragma once

#include <cstdint>

#include "driver/description/register_image.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::description {

// Sensor, timing, window and lamp registers (0x00 to 0x41); adjusts the description as the build
// does (Total_Pixels, Illumination_Mode, the red and green lamp-off times, the start pixel).
void FillSensorAndLampRegisters(DriverContext& ctx, RegisterImage& image, bool calibrationPass);

// Register 0x42 from the value the chip holds, then the front-end gains of a scan pass and the
// motor, paper-sensor and I/O registers (0x42 to 0x7F).
void FillMemoryMotorAndIoRegisters(DriverContext& ctx, RegisterImage& image, bool calibrationPass,
                                   uint8_t memoryConfigOnChip);

// Channel mode code of register 0x26 bits 0-2 for the description and the colour flag.
int32_t ChannelModeCode(int32_t colorMode, bool colourScan);

}  // namespace ordavel::description
