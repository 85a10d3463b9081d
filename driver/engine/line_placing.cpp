// Placing a work line: copy or decimation, order, and red/blue swap.
#include "driver/engine/line_placing.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ordavel::engine {

namespace {

// Data bytes of a copied line (the row's padding is left alone).
std::size_t CopiedBytes(const LineGeometry& g, int32_t bitCount) {
    const int64_t pixels = g.outputPixels;
    if (bitCount >= 24) return static_cast<std::size_t>(pixels * g.bytesPerSample * 3);
    if (bitCount == 1) return static_cast<std::size_t>((pixels + 7) / 8);
    return static_cast<std::size_t>(pixels * g.bytesPerSample);
}

bool BitAt(const uint8_t* line, int64_t pixel) {
    return ((line[pixel / 8] >> (7 - pixel % 8)) & 1) != 0;
}

void SetBit(uint8_t* line, int64_t pixel, bool set) {
    uint8_t& byte = line[pixel / 8];
    if (pixel % 8 == 0) byte = 0;  // the first bit written into a byte clears it
    if (set) byte = static_cast<uint8_t>(byte | (0x80 >> (pixel % 8)));
}

// Drops input pixels evenly with an error accumulator until the output width is reached.
void Decimate(const LineGeometry& g, int32_t bitCount, const uint8_t* work, uint8_t* dest) {
    const int64_t in = g.inputPixels;
    const int64_t out = g.outputPixels;
    const int64_t pixelBytes = bitCount / 8;
    int64_t error = 0;
    int64_t emitted = 0;
    for (int64_t i = 0; i < in && emitted < out; ++i) {
        error -= out;
        if (error >= 0) continue;
        error += in;
        if (bitCount == 1) {
            SetBit(dest, emitted, BitAt(work, i));
        } else {
            std::memcpy(dest + emitted * pixelBytes, work + i * pixelBytes,
                        static_cast<std::size_t>(pixelBytes));
        }
        ++emitted;
    }
}

// Bitmap rows keep blue first: swap the first and third sample of every pixel.
void SwapRedBlue(uint8_t* row, int32_t pixels, int32_t bitCount) {
    const int32_t sampleBytes = bitCount / 24;
    const int32_t pixelBytes = 3 * sampleBytes;
    for (int32_t p = 0; p < pixels; ++p) {
        uint8_t* px = row + static_cast<std::ptrdiff_t>(p) * pixelBytes;
        std::swap_ranges(px, px + sampleBytes, px + 2 * sampleBytes);
    }
}

}  // namespace

uint8_t* PlaceWorkLine(const LineGeometry& g, const LineProcessorState& s) {
    const std::size_t rowBytes = static_cast<std::size_t>(g.outputBytesPerLine);
    const std::size_t k = static_cast<std::size_t>(g.linesThisCall);
    uint8_t* dest = g.outputBuffer;
    if (g.topDown != 0) {
        dest += k * rowBytes;
    } else if (k > 0) {
        // The call's earlier lines move down one row so its lines end up in bitmap order.
        std::memmove(dest + rowBytes, dest, k * rowBytes);
    }

    if (g.outputPixels >= g.inputPixels || g.interpolate != 0) {
        std::memcpy(dest, s.workLine.data(), std::min(CopiedBytes(g, s.bitCount), s.workLine.size()));
    } else {
        Decimate(g, s.bitCount, s.workLine.data(), dest);
    }
    if (g.topDown == 0 && s.bitCount >= 24) SwapRedBlue(dest, g.outputPixels, s.bitCount);
    return dest;
}

}  // namespace ordavel::engine
