// Vertical interpolation of one channel between the two nearest input lines, per input pixel.
#include <cstring>

#include "driver/engine/depth_expansion.h"
#include "driver/engine/work_line.h"

namespace ordavel::engine {

namespace {

// True when every pixel of the channel is a plain copy of one input line.
bool IsPlainCopy(const ChannelLines& lines) {
    return lines.even == lines.odd && lines.even.second == nullptr &&
           lines.even.firstWeight == kUnitWeight;
}

void Build8(const ChannelLines& lines, const SampleFormat& f, int32_t channel, int32_t pixels,
            uint8_t* work) {
    if (IsPlainCopy(lines) && f.channels == 1) {
        std::memcpy(work, lines.even.first, static_cast<std::size_t>(pixels));
        return;
    }
    for (int64_t i = 0; i < pixels; ++i) {
        const LinePair& p = lines.ForPixel(i);
        const int64_t k = i * f.channels + channel;
        int64_t v = p.firstWeight * p.first[k] / kUnitWeight;
        if (p.second != nullptr) v += p.secondWeight * p.second[k] / kUnitWeight;
        work[k] = static_cast<uint8_t>(v);
    }
}

void Build16(const ChannelLines& lines, const SampleFormat& f, int32_t channel, int32_t pixels,
             uint8_t* work) {
    for (int64_t i = 0; i < pixels; ++i) {
        const LinePair& p = lines.ForPixel(i);
        const int64_t k = i * f.channels + channel;
        int64_t v = p.firstWeight * BigEndianSample(p.first, k) / kUnitWeight;
        if (p.second != nullptr) v += p.secondWeight * BigEndianSample(p.second, k) / kUnitWeight;
        StoreLittleEndian(work, k, v);
    }
}

// Expanded narrow sample of pair line `line` (nullptr contributes nothing).
int64_t Expanded(const uint8_t* line, int64_t k, const SampleFormat& f) {
    return line == nullptr ? 0 : ExpandSample(PackedSampleByte(line, k, f.bits), f.mask);
}

// A packed line read from one whole input line is that line's bits: white samples pass the
// threshold and black ones do not.
void CopyPacked(const uint8_t* line, int32_t pixels, uint8_t* work) {
    if (pixels <= 0) return;
    std::memcpy(work, line, static_cast<std::size_t>((pixels + 7) / 8));
    if (pixels % 8 != 0) work[pixels / 8] &= static_cast<uint8_t>(0xFF << (8 - pixels % 8));
}

void BuildNarrow(const ChannelLines& lines, const SampleFormat& f, int32_t channel, int32_t pixels,
                 uint8_t* work) {
    if (f.packed && IsPlainCopy(lines)) {
        CopyPacked(lines.even.first, pixels, work);
        return;
    }
    for (int64_t i = 0; i < pixels; ++i) {
        const LinePair& p = lines.ForPixel(i);
        const int64_t k = i * f.channels + channel;
        const int64_t a = Expanded(p.first, k, f);
        const int64_t b = Expanded(p.second, k, f);
        if (f.packed) {
            const int64_t u = a * p.firstWeight + b * p.secondWeight;
            PushPackedBit(work, k, u / kUnitWeight >= kBlackWhiteThreshold);
        } else {
            work[k] = static_cast<uint8_t>(p.firstWeight * a / kUnitWeight +
                                           p.secondWeight * b / kUnitWeight);
        }
    }
    // A line whose pixel count is not a multiple of 8 would otherwise leave its last pixels in
    // the low bits of the final byte, behind leftovers of the previous line.
    if (f.packed) AlignLastPackedByte(work, pixels);
}

}  // namespace

void BuildChannelVertical(const ChannelLines& lines, const SampleFormat& format, int32_t channel,
                          int32_t inputPixels, uint8_t* work) {
    if (format.bits == 8) {
        Build8(lines, format, channel, inputPixels, work);
    } else if (format.bits == 16) {
        Build16(lines, format, channel, inputPixels, work);
    } else {
        BuildNarrow(lines, format, channel, inputPixels, work);
    }
}

}  // namespace ordavel::engine
