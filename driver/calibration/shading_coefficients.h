// The shading coefficients: per-pixel gains from the white averages, and the file "cr.dat" that
// keeps them for later scans.
#pragma once

#include <cstdint>

#include "driver/calibration/calibration_state.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// The black level the controller subtracts from pixel x of `colour` before it applies the gain:
// the black profile when the black shading is valid, else the coarse channel minimum.
int32_t ShadingBlackLevel(const CalibrationState& state, int colour, int32_t x);

// trunc(target x 16384 / (average - black)) in floating point (16384 = gain 1.0); 0 when the
// white stands 0 or less above the black. With no black, a quarter-target average gives 65536,
// which no 16-bit word holds.
//
// The controller subtracts the black level before it multiplies by the coefficient, so the
// coefficient scales the white above the black. Scaling the raw white instead (target / average)
// would leave every pixel at target x (1 - black / white): the white below target and each
// pixel's own dark level, which the black correction is there to remove, back in the image as
// column streaks (about one grey level on the reference scanner, where the scaled white is
// flat to a third of one).
int32_t ShadingCoefficient(int32_t target, int32_t average, int32_t black);

// Run at the end of a complete "WhiteFine" collection: computes the coefficients of the first
// `pixels` averages of each colour (over their black levels) into the engine state, then
// rewrites "cr.dat": "v2" and a line feed, the pixel count as 4 bytes little-endian, then per
// colour (red, green, blue) the low 16 bits of each coefficient, high byte first. A file error
// is reported and fails the step: later scans would otherwise pair the earlier calibration's
// coefficients with this one's black line and gain codes.
bool RunCoefficientStep(DriverContext& ctx, int32_t pixels);

}  // namespace ordavel::calibration
