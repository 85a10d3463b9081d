// The line processor's geometry for a scan.
#include "driver/engine/line_output_geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace ordavel::engine {

void ComputeOutputGeometry(const ScanRequest& request, const ScanParms& parms, LineGeometry& g) {
    g.outputBytesPerLine = 0;
    g.linesProduced = 0;
    g.bytesPerSample = parms.bitsperchannel == 16 ? 2 : 1;
    g.topDown = request.lineOrder == 0 ? 1 : 0;

    // An inverted window is an empty image rather than a negative one.
    // Differences in 64 bits: a window beyond the 32-bit range saturates instead of overflowing.
    g.outputPixels = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{request.scanRectRight} - request.scanRectLeft, 0, INT32_MAX));
    g.outputLines = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{request.scanRectBottom} - request.scanRectTop, 0, INT32_MAX));
    if (g.requestedXResolution > 0) {
        g.inputPixels = static_cast<int32_t>(std::clamp<double>(
            std::ceil(static_cast<double>(g.actualXResolution) * g.outputPixels / g.requestedXResolution), 0,
            INT32_MAX));
    } else {
        g.inputPixels = g.outputPixels;  // no requested resolution: no horizontal resampling
    }

    g.bits = parms.bitsperchannel;
    g.inputBytesPerLine = std::max(parms.bytesperline - 2, 0);
    if (parms.bitsperchannel == 16 && g.topDown == 0) {
        g.bytesPerSample = 1;
        g.bits = 8;
        g.inputBytesPerLine /= 2;
    }
    g.channelMode = parms.channelmode;
    if ((parms.channelmode & 1) != 0) {
        g.channelMode = 0;
        g.inputBytesPerLine *= 3;
    }
}

}  // namespace ordavel::engine
