// Placing a line: order, decimation and red/blue swap.
#include "driver/engine/line_placing.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ordavel::engine {

namespace {

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
        } else if (pixelBytes == 1) {
            dest[emitted] = work[i];
        } else {
            std::memcpy(dest + emitted * pixelBytes, work + i * pixelBytes, static_cast<std::size_t>(pixelBytes));
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

uint8_t* MakeRowForNextLine(const LineGeometry& g) {
    const std::size_t rowBytes = static_cast<std::size_t>(g.outputBytesPerLine);
    const std::size_t k = static_cast<std::size_t>(g.linesThisCall);
    if (g.topDown != 0) return g.outputBuffer + k * rowBytes;
    if (k > 0) std::memmove(g.outputBuffer + rowBytes, g.outputBuffer, k * rowBytes);
    return g.outputBuffer;
}

bool PlacesLineAsBuilt(const LineGeometry& g) { return g.outputPixels >= g.inputPixels || g.interpolate != 0; }

void CompletePlacedRow(const LineGeometry& g, const LineProcessorState& s, uint8_t* row) {
    if (!PlacesLineAsBuilt(g)) Decimate(g, s.bitCount, s.workLine.data(), row);
    if (g.topDown == 0 && s.bitCount >= 24) SwapRedBlue(row, g.outputPixels, s.bitCount);
}

}  // namespace ordavel::engine
