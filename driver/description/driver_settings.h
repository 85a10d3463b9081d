// Driver-wide settings read by initialisation and the colour flag set by the description load.
#pragma once

#include <cstdint>

namespace ordavel::description {

struct DriverSettings {
    int32_t debugLevel = 0;                      // Debug of "Mirt.def"
    int32_t scanBufferBytes = 8 * 1048576;       // Scan_Buffer_MBytes x 1 MiB
    bool lampWasOff = false;                     // lamp found off; the next final init waits
    bool colourScan = false;                     // pixelType of the request is 2 (colour)
};

}  // namespace ordavel::description
