// The bed check of a scan request.
#include "driver/engine/request_bounds.h"

#include <algorithm>
#include <cstdint>

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

namespace {

// Pixels kept clear of the end of the sensor line (as the window computation keeps them).
constexpr int64_t kLineEndMargin = 20;

bool InRange(int64_t value, int64_t low, int64_t high) { return value >= low && value <= high; }

// Where the window begins on an extent of `span` units, mapped from the bed as the set-up maps
// it, plus the window's own `length` in the same units: within `span` when the window fits.
// Wide arithmetic: the factors are 32-bit and their products exact.
bool FitsFromItsStart(int64_t start, int64_t bedStart, int64_t bedEnd, long double length, int64_t span) {
    const long double offset = static_cast<long double>(start - bedStart) * span / (bedEnd - bedStart);
    return offset + length <= static_cast<long double>(span);
}

}  // namespace

bool CheckRequestOnBed(DriverContext& ctx) {
    const ScanRequest& r = ctx.engine.request;
    const description::ScannerDescription& d = ctx.description;
    if (!InRange(r.xResolution, 1, kMaxRequestResolution) || !InRange(r.yResolution, 1, kMaxRequestResolution)) {
        device::Report(ctx, "Scan resolution out of range: %d x %d dpi (1 to %d)", r.xResolution, r.yResolution,
                       kMaxRequestResolution);
        return false;
    }
    const int64_t s = d.startPixel;
    const int64_t imagingEnd = std::min<int64_t>(s + d.Image_Pixel_Width, int64_t{d.Total_Pixels} - kLineEndMargin);
    const int64_t width = imagingEnd - s;  // imaging pixels at the optical resolution
    // Full-length lines as the window computation figures them (in double precision, as it does).
    const double lines = static_cast<double>(r.yResolution) * d.Scanner_Length;
    const int64_t length = lines > 0 && lines < 2147483647.0 ? static_cast<int64_t>(lines) : 0;
    const bool bedValid = r.bedRight > r.bedLeft && r.bedBottom > r.bedTop;
    const bool inside = bedValid && InRange(r.scanRectLeft, r.bedLeft, r.bedRight) &&
                        InRange(r.scanRectRight, r.bedLeft, r.bedRight) &&
                        InRange(r.scanRectTop, r.bedTop, r.bedBottom) && InRange(r.scanRectBottom, r.bedTop, r.bedBottom);
    // Window units are pixels and lines at the requested resolutions.
    const int64_t columns = std::max<int64_t>(0, int64_t{r.scanRectRight} - r.scanRectLeft);
    const int64_t rows = std::max<int64_t>(0, int64_t{r.scanRectBottom} - r.scanRectTop);
    const bool fits = inside && d.Optical_Resolution > 0 && width > 0 && length > 0 &&
                      FitsFromItsStart(r.scanRectLeft, r.bedLeft, r.bedRight,
                                       static_cast<long double>(columns) * d.Optical_Resolution / r.xResolution,
                                       width) &&
                      FitsFromItsStart(r.scanRectTop, r.bedTop, r.bedBottom, static_cast<long double>(rows), length);
    if (!fits) {
        device::Report(ctx, "Scan window outside the bed: %d,%d-%d,%d of bed %d,%d-%d,%d at %d x %d dpi",
                       r.scanRectLeft, r.scanRectTop, r.scanRectRight, r.scanRectBottom, r.bedLeft, r.bedTop,
                       r.bedRight, r.bedBottom, r.xResolution, r.yResolution);
        return false;
    }
    if (r.res != 0) {
        // The enlarged image is delivered at 3/2 of the requested resolutions.
        const long double bedColumns = static_cast<long double>(width) * r.xResolution / d.Optical_Resolution * 1.5L;
        const long double bedRows = static_cast<long double>(length) * 1.5L;
        if (r.imageWidth > bedColumns || r.imageHeight > bedRows) {
            device::Report(ctx, "Enlarged image larger than the bed: %d x %d", r.imageWidth, r.imageHeight);
            return false;
        }
    }
    return true;
}

}  // namespace ordavel::engine
