// The hardware summary's 16-entry resolution list, derived from the sensor's resolutions.
#pragma once

#include <array>
#include <cstdint>

namespace ordavel::description {

inline constexpr std::size_t kResolutionCount = 16;

// Entries 0-7: the resolutions of the eight horizontal divider codes (base b = optical
// resolution, halved for an even/odd sensor). Entries 8-15: doubling while the result stays
// within the sensor's maximum; zero from the first that would not.
std::array<int32_t, kResolutionCount> ResolutionList(int32_t opticalResolution,
                                                     double evenOddLineSeparation,
                                                     int32_t maxSensorResolution);

}  // namespace ordavel::description
