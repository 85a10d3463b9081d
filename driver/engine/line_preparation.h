// Preparing a controller line for the line processor: 16-to-8-bit reduction, merging three
// single-colour lines into one colour line, and mirroring.
#pragma once

#include <cstdint>
#include <span>

namespace ordavel::engine {

// Keeps the most significant (first) byte of every 16-bit sample of `in` into `out`.
void ReduceToEightBits(std::span<const uint8_t> in, std::span<uint8_t> out);

// Copies the samples of one single-colour line into every third sample position of the colour
// line `assembly`, starting at sample `colour` (0, 1, 2); `bits` per sample, `pixels` pixels.
void MergeColourLine(std::span<const uint8_t> in, int32_t colour, int32_t bits, int32_t pixels,
                     std::span<uint8_t> assembly);

// Writes `in` to `out` with the whole pixels of the line in reverse order, each pixel's samples
// kept in their order; `bits` per sample, `channels` samples per pixel.
void MirrorLine(std::span<const uint8_t> in, int32_t bits, int32_t channels, std::span<uint8_t> out);

}  // namespace ordavel::engine
