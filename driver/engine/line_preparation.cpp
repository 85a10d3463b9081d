// Preparing controller lines: reduction, colour merging and mirroring.
#include "driver/engine/line_preparation.h"

#include <algorithm>
#include <cstring>

#include "driver/engine/depth_expansion.h"

namespace ordavel::engine {

namespace {

bool BitAt(std::span<const uint8_t> line, int64_t bit) {
    return ((line[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1) != 0;
}

void SetBit(std::span<uint8_t> line, int64_t bit) {
    line[static_cast<std::size_t>(bit / 8)] |= static_cast<uint8_t>(0x80 >> (bit % 8));
}

}  // namespace

void ReduceToEightBits(std::span<const uint8_t> in, std::span<uint8_t> out) {
    const std::size_t samples = std::min(in.size() / 2, out.size());
    for (std::size_t i = 0; i < samples; ++i) out[i] = in[2 * i];
}

void MergeColourLine(std::span<const uint8_t> in, int32_t colour, int32_t bits, int32_t pixels,
                     std::span<uint8_t> assembly) {
    if (bits <= 0) return;
    const int64_t fit = std::min<int64_t>(static_cast<int64_t>(in.size()) * 8 / bits,
                                          static_cast<int64_t>(assembly.size()) * 8 / (3 * bits));
    const int64_t count = std::min<int64_t>(pixels, fit);
    if (bits >= 8) {
        const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
        for (int64_t p = 0; p < count; ++p) {
            std::memcpy(assembly.data() + static_cast<std::size_t>(colour + 3 * p) * sampleBytes,
                        in.data() + static_cast<std::size_t>(p) * sampleBytes, sampleBytes);
        }
        return;
    }
    const uint8_t mask = DepthMask(bits);
    for (int64_t p = 0; p < count; ++p) {
        const uint8_t sample = static_cast<uint8_t>(PackedSampleByte(in.data(), p, bits) & mask);
        const int64_t at = (colour + 3 * p) * bits;
        assembly[static_cast<std::size_t>(at / 8)] |= static_cast<uint8_t>(sample >> (at % 8));
    }
}

void MirrorLine(std::span<const uint8_t> in, int32_t bits, int32_t channels, std::span<uint8_t> out) {
    const int64_t pixelBits = int64_t{bits} * channels;
    if (pixelBits <= 0) return;
    const int64_t pixels = static_cast<int64_t>(std::min(in.size(), out.size())) * 8 / pixelBits;
    if (pixelBits % 8 == 0) {
        const std::size_t pixelBytes = static_cast<std::size_t>(pixelBits / 8);
        for (int64_t p = 0; p < pixels; ++p) {
            std::memcpy(out.data() + static_cast<std::size_t>(pixels - 1 - p) * pixelBytes,
                        in.data() + static_cast<std::size_t>(p) * pixelBytes, pixelBytes);
        }
        return;
    }
    std::fill(out.begin(), out.end(), uint8_t{0});
    for (int64_t p = 0; p < pixels; ++p) {
        const int64_t to = (pixels - 1 - p) * pixelBits;
        for (int64_t b = 0; b < pixelBits; ++b) {
            if (BitAt(in, p * pixelBits + b)) SetBit(out, to + b);
        }
    }
}

}  // namespace ordavel::engine
