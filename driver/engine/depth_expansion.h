// Reading packed samples of 1, 2, 4, 8 or 16 bits and expanding narrow ones to the 0..255 scale.
#pragma once

#include <cstdint>

namespace ordavel::engine {

// Where a sample of `bits` bits sits in its byte once shifted to the top: 1 -> 0x80, 2 -> 0xC0,
// 4 -> 0xF0, 8 and 16 -> 0xFF.
inline uint8_t DepthMask(int32_t bits) {
    switch (bits) {
    case 1: return 0x80;
    case 2: return 0xC0;
    case 4: return 0xF0;
    default: return 0xFF;
    }
}

// The byte holding sample `k` of a line of `bits`-bit samples, shifted so the sample sits in its
// top bits (the first sample of a byte is its most significant one).
inline uint8_t PackedSampleByte(const uint8_t* line, int64_t k, int32_t bits) {
    const int64_t bit = k * bits;
    return static_cast<uint8_t>(line[bit / 8] << (bit % 8));
}

// A sample held in the top bits of `x`, expanded to 0..255: 1 bit -> 0 or 255, 2 bits -> n x 85,
// 4 bits -> n x 17, 8 bits unchanged.
inline int32_t ExpandSample(uint8_t x, uint8_t mask) {
    switch (mask) {
    case 0x80: return (x & 0x80) != 0 ? 255 : 0;
    case 0xC0: return (x / 64) * 85;
    case 0xF0: return (x / 16) * 17;
    default: return x;
    }
}

// A 16-bit sample as the controller sends it: most significant byte first.
inline int32_t BigEndianSample(const uint8_t* line, int64_t k) {
    return line[2 * k] * 256 + line[2 * k + 1];
}

// A 16-bit output sample: least significant byte first.
inline void StoreLittleEndian(uint8_t* line, int64_t k, int64_t value) {
    line[2 * k] = static_cast<uint8_t>(value & 0xFF);
    line[2 * k + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace ordavel::engine
