// Building one channel of a work line from the ring's input lines: the line pairs a channel
// position selects, their 16.16 fixed-point weights, and the sample format of the lines.
#pragma once

#include <cstdint>

namespace ordavel::engine {

inline constexpr int64_t kUnitWeight = 65536;  // 1.0 in 16.16 fixed point

// The input line at trunc(p) and, when p has a fraction f, the next one, weighted 1 - f and f.
struct LinePair {
    const uint8_t* first = nullptr;
    const uint8_t* second = nullptr;  // null when the position falls on a whole line
    int64_t firstWeight = kUnitWeight;
    int64_t secondWeight = 0;

    bool operator==(const LinePair&) const = default;
};

// Even input pixels are read from the pair at the channel position (A, B), odd ones from the
// pair at the position plus the even/odd offset (C, D).
struct ChannelLines {
    LinePair even;
    LinePair odd;

    const LinePair& ForPixel(int64_t pixel) const { return (pixel & 1) != 0 ? odd : even; }
};

struct SampleFormat {
    int32_t bits = 8;       // 1, 2, 4, 8 or 16
    int32_t channels = 1;   // samples per pixel, interleaved
    uint8_t mask = 0xFF;    // depth mask of narrow samples
    bool packed = false;    // one channel of 1-bit samples: thresholded and packed 8 to a byte
};

// Threshold of black-and-white output on the 0..255 scale.
inline constexpr int64_t kBlackWhiteThreshold = 127;

// Vertical interpolation only: one sample per input pixel of channel `channel`.
void BuildChannelVertical(const ChannelLines& lines, const SampleFormat& format, int32_t channel,
                          int32_t inputPixels, uint8_t* work);

// Vertical and horizontal interpolation: one sample per output pixel, output pixel i taken
// between input pixels trunc(i x xs) and the next one.
void BuildChannelInterpolated(const ChannelLines& lines, const SampleFormat& format,
                              int32_t channel, int32_t inputPixels, int32_t outputPixels,
                              double xs, uint8_t* work);

// Moves the bits of a packed line's last, partial byte to its most significant end, so the line
// reads most significant bit first throughout.
inline void AlignLastPackedByte(uint8_t* work, int32_t pixels) {
    if (pixels <= 0) return;
    const int32_t shift = 7 - ((pixels - 1) % 8);
    work[(pixels - 1) / 8] = static_cast<uint8_t>(work[(pixels - 1) / 8] << shift);
}

// Shifts the next packed bit into byte `k / 8` of `work`.
inline void PushPackedBit(uint8_t* work, int64_t k, bool set) {
    uint8_t& byte = work[k / 8];
    byte = static_cast<uint8_t>((byte << 1) | (set ? 1 : 0));
}

}  // namespace ordavel::engine
