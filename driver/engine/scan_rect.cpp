// Resolution, depth and the scan window: the horizontal divider and depth codes, and the window
// in sensor pixels and motor steps.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "driver/engine/scan_setup.h"
#include "driver/engine/work_file_job.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

namespace {

// Pixels kept clear of the end of the sensor line.
constexpr int32_t kLineEndMargin = 20;

int32_t DividerCode(const description::ScannerDescription& d, int32_t xres) {
    if (d.EvenOdd_Line_Separation != 0) return 0;  // even/odd sensors scan at full resolution
    // A resolution that is not positive asks for no reduction.
    const double r = xres > 0 ? static_cast<double>(d.Optical_Resolution) / xres : 1.0;
    int32_t code = r >= 1.5 ? 1 : 0;
    if (r >= 2) code = 2;
    if (r >= 3) code = 3;
    if (r >= 4) code = 4;
    if (r >= 6) code = 5;
    if (r >= 8) code = 6;
    if (r >= 12) code = 7;
    return code;
}

// Bits per channel of a requested bit depth: a depth for three channels is divided by three.
int32_t BitsPerChannel(int32_t bits) {
    int32_t perChannel = bits % 3 == 0 ? bits / 3 : bits;
    return perChannel > 8 ? 16 : perChannel;
}

// Depth code of register 0x09 bits 3-5. Depths without a code of their own (0, 3, 5, 6, 7) are
// refused by the session; should one arrive it is programmed as 16 bits, the depth the chip's
// read-back reports for any unknown code, so set-up and read-back agree.
int32_t DepthCode(int32_t& perChannel) {
    switch (perChannel) {
        case 1: return 0x00;
        case 2: return 0x08;
        case 4: return 0x10;
        case 8: return 0x18;
        default: perChannel = 16; return 0x38;
    }
}

struct SensorRange {
    int32_t start;
    int32_t end;
};

SensorRange SensorRangeOf(const description::ScannerDescription& d) {
    const int32_t s = d.startPixel;
    int32_t e = s + d.Image_Pixel_Width;
    if (e >= d.Total_Pixels - kLineEndMargin) e = d.Total_Pixels - kLineEndMargin;
    return {s, e};
}

// Proportional position of `value` between `low` and `high`, scaled to `span`. A degenerate
// bed (no extent) maps every position to its start.
// Differences are taken in 64 bits and the result saturates at the 32-bit range, so no request
// (the session refuses windows off the bed, but calibration tests and tools call this directly)
// overflows here.
int32_t MapProportionally(int32_t value, int32_t low, int32_t high, int64_t span) {
    if (high == low) return 0;
    const long double mapped = static_cast<long double>(int64_t{value} - low) * span / (int64_t{high} - low);
    return static_cast<int32_t>(std::clamp<long double>(mapped, INT32_MIN, INT32_MAX));
}

int32_t Saturate(double value) { return static_cast<int32_t>(std::clamp<double>(value, INT32_MIN, INT32_MAX)); }

// Bits per pixel the window's byte count is figured in.
int32_t WindowBitsPerPixel(const ScanRequest& request) {
    int32_t bits = request.bitDepth;
    // A depth that is not positive cannot size a line; it is figured as 8 bits.
    if (bits <= 0) return 8;
    if (request.pixelType == 2) {
        if (bits > 24) return 48;
        if (bits > 8) return 16;
        return bits;
    }
    return bits > 8 ? 16 : bits;
}

// Sensor pixels the controller must read for the requested output width.
int32_t SensorPixelsForWindow(const DriverContext& ctx, const description::RegisterImage& image) {
    const ScanRequest& request = ctx.engine.request;
    const LineGeometry& g = ctx.engine.geometry;
    const int32_t bits = WindowBitsPerPixel(request);
    double outputPixels = 0;
    if (g.requestedXResolution > 0) {
        outputPixels = std::ceil(static_cast<double>(int64_t{request.scanRectRight} - request.scanRectLeft) *
                                 g.actualXResolution / g.requestedXResolution);
    }
    // A window whose right edge lies left of its left edge has no width.
    const int32_t width = Saturate(std::max(outputPixels, 0.0));
    int64_t bytes = static_cast<int64_t>(std::ceil(static_cast<double>(width) * bits / 8));
    if (bytes == 0) bytes = 1;
    if (bytes % 2 != 0) ++bytes;
    return Saturate(static_cast<double>(bytes) * 8 * DividerFactor(image[0x09] & 7) / bits);
}

}  // namespace

double DividerFactor(int32_t code) {
    return ((code & 1) * 0.5 + 1) * ((code & 4) != 0 ? 4 : 1) * ((code & 2) != 0 ? 2 : 1);
}

void SetScanResolution(DriverContext& ctx, description::RegisterImage& image, int32_t xres,
                       int32_t yres, int32_t bits) {
    const description::ScannerDescription& d = ctx.description;
    ScanParms& p = ctx.engine.parms;
    LineGeometry& g = ctx.engine.geometry;

    const int32_t code = DividerCode(d, xres);
    g.actualXResolution = static_cast<int32_t>(d.Optical_Resolution / DividerFactor(code));
    g.requestedXResolution = xres;

    int32_t perChannel = BitsPerChannel(bits);
    const int32_t depthCode = DepthCode(perChannel);
    p.bitsperchannel = perChannel;
    image[0x09] = (code + depthCode) | (d.Bias_Current << 6);

    // Refined by the read-back once the chip holds the image.
    p.hdpifactor = 1.0;
    p.hres = d.Optical_Resolution;
    g.actualYResolution = yres;
    g.requestedYResolution = yres;
    p.yres = yres;
}

void CalculateScanRect(DriverContext& ctx, description::RegisterImage* image, const std::string& workFile) {
    if (image == nullptr) return;
    const description::ScannerDescription& d = ctx.description;
    const ScanRequest& r = ctx.engine.request;
    const LineGeometry& g = ctx.engine.geometry;
    ScanParms& p = ctx.engine.parms;

    if (p.hdpifactor > 0) p.hres = static_cast<int32_t>(d.Optical_Resolution / p.hdpifactor);
    const SensorRange range = SensorRangeOf(d);
    p.startpixel = range.start;
    p.endpixel = range.end;
    const int32_t fullLines = std::max(1, Saturate(g.actualYResolution * d.Scanner_Length));
    p.lines = fullLines;

    const int64_t sensorSpan = range.end - range.start;
    int32_t x0 = range.start + MapProportionally(r.scanRectLeft, r.bedLeft, r.bedRight, sensorSpan);
    int32_t y0 = MapProportionally(r.scanRectTop, r.bedTop, r.bedBottom, fullLines);
    int32_t y1 = MapProportionally(r.scanRectBottom, r.bedTop, r.bedBottom, fullLines);
    const int32_t x1 = range.start + MapProportionally(r.scanRectRight, r.bedLeft, r.bedRight, sensorSpan);

    // The LM9831 cannot run a window smaller than one memory unit; it is widened to the left
    // and lengthened at both ends.
    const int64_t smallest = int64_t{d.RAM_WordSize / 128} * 1024;
    if (description::IsLM9831(d) && (int64_t{y1} - y0) * (int64_t{x1} - x0) < smallest) {
        x0 = std::max(x0 - 500, p.startpixel);
        y0 = std::max(y0 - 20, 0);
        y1 = std::min(y1 + 20, fullLines);
    }
    if (JobOfWorkFile(workFile) == ScanJob::Probe) {
        x0 = p.startpixel;
        y0 = 0;
        y1 = fullLines;
    }

    const int32_t n = SensorPixelsForWindow(ctx, *image);
    if (d.Mirror_Image == 0) {
        p.startpixel = x0;
        p.endpixel = Saturate(static_cast<double>(x0) + n);
    } else {
        p.startpixel = Saturate(static_cast<double>(range.end) - (static_cast<double>(x0) + n) + range.start);
        p.endpixel = Saturate(static_cast<double>(range.end) - x0 + range.start);
    }
    // The controller starts windows on even pixels.
    if (p.startpixel % 2 != 0 && p.startpixel < INT32_MAX) {
        ++p.startpixel;
        if (p.endpixel < INT32_MAX) ++p.endpixel;
    }
    image->set16(0x22, p.startpixel);
    image->set16(0x24, p.endpixel);

    int32_t skip = d.Start_Of_Scan;
    if (g.actualYResolution != 0) {
        skip = Saturate(static_cast<double>(skip) + static_cast<double>(int64_t{d.Motor_Steps_Per_Inch} * y0 / g.actualYResolution));
    }
    image->set16(0x4A, skip);

    const int64_t windowLines = int64_t{y1} - y0;
    p.scanlength = static_cast<double>(windowLines) * d.Scanner_Length / fullLines;
    p.lines = static_cast<int32_t>(std::clamp<int64_t>(windowLines, 1, INT32_MAX));
}

}  // namespace ordavel::engine
