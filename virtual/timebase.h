// The model's time unit: ticks of 96 MHz, two per period of the 48 MHz crystal, so every
// master-clock divider (a whole or half number) gives a whole number of ticks per pixel.
#pragma once

#include <cstdint>

namespace ordavel::virtual_scanner {

using Ticks = uint64_t;

inline constexpr Ticks kTicksPerMicrosecond = 96;

inline constexpr Ticks MicrosecondsToTicks(uint64_t micros) { return micros * kTicksPerMicrosecond; }

// Rounded up, so that waiting "until tick t" in microseconds never stops short of t.
inline constexpr uint64_t TicksToMicrosecondsCeil(Ticks ticks) {
    return (ticks + kTicksPerMicrosecond - 1) / kTicksPerMicrosecond;
}

}  // namespace ordavel::virtual_scanner
