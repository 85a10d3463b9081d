// The shading coefficients: per-pixel gains from the white averages, and the file "cr.dat" that
// keeps them for later scans.
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// trunc(target x 16384 / average) in floating point (16384 = gain 1.0); 0 when the average is 0 or
// less. A quarter-target average gives 65536, which no 16-bit word holds.
int32_t ShadingCoefficient(int32_t target, int32_t average);

// Run at the end of a complete "WhiteFine" collection: computes the coefficients of the first
// `pixels` averages of each colour into the engine state, then rewrites "cr.dat": "v2" and a line
// feed, the pixel count as 4 bytes little-endian, then per colour (red, green, blue) the low 16
// bits of each coefficient, high byte first. File errors are reported and do not fail anything.
void RunCoefficientStep(DriverContext& ctx, int32_t pixels);

}  // namespace ordavel::calibration
