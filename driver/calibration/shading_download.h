// The shading tables in the controller: which shading bits register 0x42 gets, the offset and
// gain words of a colour, and clearing the offset tables before a black scan.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "driver/calibration/calibration_state.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// Bits 0-2 of register 0x42 after the download of step `name` at the given Debug level: below 2,
// "BlackFine" switches the offset table on (4) and "WhiteFine" both tables (6); at 2 only the
// offset table; above 2 none.
uint8_t ShadingEnableBits(int32_t debugLevel, std::string_view name);

struct ShadingTableBytes {
    std::vector<uint8_t> offsets;  // big-endian words
    std::vector<uint8_t> gains;
};

// The tables of `colour` for the first min(pixels per line, 16384) pixels: offset word = the
// black profile when the black shading is valid, else the coarse channel minimum; gain word = the
// shading coefficient. Both are limited to 0..0xffff.
ShadingTableBytes BuildShadingTables(const CalibrationState& state, int colour);

// Writes zeros into the offset tables of all three colours for `pixels` pixels.
bool ClearOffsetTables(DriverContext& ctx, int32_t pixels);

}  // namespace ordavel::calibration
