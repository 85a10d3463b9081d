// The bitmap headers of the output rows.
#include "driver/engine/bitmap_header.h"

namespace ordavel::engine {

namespace {

void Put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

// Pixels per metre: bitmap order converts dots per inch, scan order stores the resolution itself;
// a missing requested resolution is replaced by the actual one.
int32_t PixelsPerMetre(int32_t requested, int32_t actual, bool bitmapOrder) {
    const int32_t dpi = requested != 0 ? requested : actual;
    return bitmapOrder ? static_cast<int32_t>(dpi * 39.370079) : dpi;
}

}  // namespace

int32_t BitmapBitCount(const LineGeometry& geometry) {
    const bool sixteen = geometry.bits == 16;
    if (geometry.channelMode == 4) {
        if (geometry.bits == 1) return 1;
        return sixteen ? 16 : 8;
    }
    return sixteen ? 48 : 24;
}

int32_t BitmapRowBytes(int32_t bitCount, int32_t width) {
    return static_cast<int32_t>((int64_t{bitCount} * width + 31) / 32 * 4);
}

int32_t BuildBitmapHeaders(const LineGeometry& geometry, int32_t bitCount,
                           std::array<uint8_t, kBitmapHeaderCapacity>& out) {
    out.fill(0);
    const int32_t paletteBytes = bitCount == 1 ? 8 : 0;
    const int32_t dataOffset = 14 + 40 + paletteBytes;
    const uint32_t imageSize = static_cast<uint32_t>(BitmapRowBytes(bitCount, geometry.outputPixels)) *
                               static_cast<uint32_t>(geometry.outputLines);
    const bool bitmapOrder = geometry.topDown == 0;

    uint8_t* h = out.data();
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, imageSize + static_cast<uint32_t>(dataOffset));
    Put32(h + 10, static_cast<uint32_t>(dataOffset));
    Put32(h + 14, 40);
    Put32(h + 18, static_cast<uint32_t>(geometry.outputPixels));
    Put32(h + 22, static_cast<uint32_t>(geometry.outputLines));
    Put16(h + 26, 1);
    Put16(h + 28, static_cast<uint32_t>(bitCount));
    Put32(h + 30, 0);
    Put32(h + 34, imageSize);
    Put32(h + 38, static_cast<uint32_t>(PixelsPerMetre(geometry.requestedXResolution,
                                                       geometry.actualXResolution, bitmapOrder)));
    Put32(h + 42, static_cast<uint32_t>(PixelsPerMetre(geometry.requestedYResolution,
                                                       geometry.actualYResolution, bitmapOrder)));
    if (paletteBytes != 0) {
        // Entry 0 black, entry 1 white (blue, green, red, 0).
        h[58] = 255;
        h[59] = 255;
        h[60] = 255;
    }
    return dataOffset;
}

}  // namespace ordavel::engine
