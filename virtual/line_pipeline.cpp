// Divider, shading, gamma and packing.
#include "virtual/line_pipeline.h"

#include <algorithm>
#include <cstring>

namespace ordavel::virtual_scanner {

void DivideLine(const uint16_t* in, std::size_t inCount, int dividerHalves, uint16_t* out, std::size_t outCount) {
    const auto h = static_cast<std::size_t>(dividerHalves);
    if (h == 2) {
        std::memcpy(out, in, std::min(inCount, outCount) * sizeof(uint16_t));
        return;
    }
    for (std::size_t j = 0; j < outCount; ++j) {
        uint64_t sum = 0;
        for (std::size_t half = j * h; half < (j + 1) * h; ++half) {
            const std::size_t p = half / 2;
            sum += p < inCount ? in[p] : 0;
        }
        out[j] = static_cast<uint16_t>(sum / h);
    }
}

void ShadeLine(uint16_t* values, std::size_t count, const uint16_t* offsets, const uint16_t* gains,
               std::size_t tableWords, bool useOffset, bool useGain) {
    if (!useOffset && !useGain) return;
    for (std::size_t j = 0; j < count; ++j) {
        uint32_t v = values[j];
        if (useOffset) {
            const uint32_t offset = j < tableWords ? offsets[j] : 0;
            v = v > offset ? v - offset : 0;
        }
        if (useGain) {
            const uint32_t gain = j < tableWords ? gains[j] : 0;
            v = std::min<uint32_t>(0xFFFF, static_cast<uint32_t>((uint64_t{v} * gain) >> 14));
        }
        values[j] = static_cast<uint16_t>(v);
    }
}

void GammaLine(const uint16_t* values, std::size_t count, const uint8_t* table, uint8_t* out) {
    for (std::size_t j = 0; j < count; ++j) out[j] = table[values[j] >> 4];
}

void PackLine(const uint16_t* wide, const uint8_t* narrow, std::size_t samples, int bits, uint8_t* out,
              std::size_t outBytes) {
    std::memset(out, 0, outBytes);
    if (bits == 16) {
        const std::size_t n = std::min(samples, outBytes / 2);
        for (std::size_t i = 0; i < n; ++i) {
            out[2 * i] = static_cast<uint8_t>(wide[i] >> 8);
            out[2 * i + 1] = static_cast<uint8_t>(wide[i] & 0xFF);
        }
        return;
    }
    if (bits == 8) {
        std::memcpy(out, narrow, std::min(samples, outBytes));
        return;
    }
    const auto b = static_cast<std::size_t>(bits);
    const std::size_t n = std::min(samples, outBytes * 8 / b);
    for (std::size_t i = 0; i < n; ++i) {
        const auto value = static_cast<uint8_t>(narrow[i] >> (8 - b));
        const std::size_t bit = i * b;
        out[bit / 8] |= static_cast<uint8_t>(value << (8 - b - bit % 8));
    }
}

}  // namespace ordavel::virtual_scanner
