// Calibration state kept in the engine: per-pixel sums, black profile, coefficients, statistics.
#pragma once

namespace ordavel::calibration {

struct CalibrationState {};

}  // namespace ordavel::calibration
