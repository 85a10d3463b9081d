// Horizontal interpolation (with vertical interpolation) of one channel, per output pixel.
//
// Which line pair an output pixel uses is decided here: output pixel i is read from the pair of
// its left source pixel v = trunc(i x xs), (A, B) when v is even and (C, D) when v is odd, the
// same parity rule the vertical-only path applies to input pixels. With equal resolutions
// (xs = 1) the result is therefore exactly that of the vertical-only path.
#include <algorithm>

#include "driver/engine/depth_expansion.h"
#include "driver/engine/work_line.h"

namespace ordavel::engine {

namespace {

// The two source pixels of output pixel i and their 16.16 weights.
struct SourceSpan {
    int64_t left = 0;
    int64_t right = 0;
    int64_t leftWeight = kUnitWeight;   // g
    int64_t rightWeight = 0;            // h
};

SourceSpan SpanOf(int64_t i, double xs, int32_t inputPixels) {
    const int64_t last = std::max(inputPixels - 1, 0);
    const double t = static_cast<double>(i) * xs;
    SourceSpan s;
    s.left = std::min(static_cast<int64_t>(t), last);
    s.right = std::min(s.left + 1, last);
    s.rightWeight = static_cast<int64_t>((t - static_cast<double>(static_cast<int64_t>(t))) * 65536.0);
    s.leftWeight = kUnitWeight - s.rightWeight;
    return s;
}

// Reads sample `channel` of pixel `pixel` of a line in the channel's format, on the scale of the
// format (0..255 for narrow samples, the raw value for 8 and 16 bits).
int64_t SampleOf(const uint8_t* line, int64_t pixel, int32_t channel, const SampleFormat& f) {
    const int64_t k = pixel * f.channels + channel;
    if (f.bits == 8) return line[k];
    if (f.bits == 16) return BigEndianSample(line, k);
    return ExpandSample(PackedSampleByte(line, k, f.bits), f.mask);
}

// g x X[v] + h x X[w] for one line of a pair (a missing line gives 0).
int64_t Blend(const uint8_t* line, const SourceSpan& s, int32_t channel, const SampleFormat& f) {
    if (line == nullptr) return 0;
    return s.leftWeight * SampleOf(line, s.left, channel, f) +
           s.rightWeight * SampleOf(line, s.right, channel, f);
}

}  // namespace

void BuildChannelInterpolated(const ChannelLines& lines, const SampleFormat& format,
                              int32_t channel, int32_t inputPixels, int32_t outputPixels,
                              double xs, uint8_t* work) {
    for (int64_t i = 0; i < outputPixels; ++i) {
        const SourceSpan s = SpanOf(i, xs, inputPixels);
        const LinePair& p = lines.ForPixel(s.left);
        const int64_t first = Blend(p.first, s, channel, format);
        const int64_t second = Blend(p.second, s, channel, format);
        const int64_t k = i * format.channels + channel;
        if (format.packed) {
            const int64_t sum = p.firstWeight * first + p.secondWeight * second;
            PushPackedBit(work, k, sum >= kBlackWhiteThreshold * kUnitWeight * kUnitWeight);
            continue;
        }
        const int64_t v = p.firstWeight * (first / kUnitWeight) / kUnitWeight +
                          p.secondWeight * (second / kUnitWeight) / kUnitWeight;
        if (format.bits == 16) {
            StoreLittleEndian(work, k, v);
        } else {
            work[k] = static_cast<uint8_t>(v);
        }
    }
    if (format.packed) AlignLastPackedByte(work, outputPixels);
}

}  // namespace ordavel::engine
