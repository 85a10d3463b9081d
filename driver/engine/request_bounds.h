// Whether a scan request lies on the scanner's bed, checked before any scan is set up.
#pragma once

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine {

// Highest resolution a request may ask for, either way. Decided here: six times what the sensor
// and the motor of these scanners resolve; above it the line processor would only repeat pixels
// and lines, and a page of the bed would run to hundreds of megabytes.
inline constexpr int kMaxRequestResolution = 1200;

// True when the current request (with the loaded description) lies on the bed: resolutions from
// 1 to the limit, a bed rectangle with an extent, a window inside it which, sized at the
// requested resolutions, fits the sensor's imaging width and the scan length from where it
// starts, and an enlarged image no larger than the bed at 3/2 of the resolutions. Otherwise
// reports the cause and returns false. Every quantity the set-up derives from an accepted
// request fits 32 bits.
bool CheckRequestOnBed(DriverContext& ctx);

}  // namespace ordavel::engine
