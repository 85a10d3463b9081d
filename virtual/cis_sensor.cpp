// Sensor non-uniformity, noise, front end and ADC.
#include "virtual/cis_sensor.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace ordavel::virtual_scanner {

double FrontEndGain(uint8_t code) {
    code &= 0x3F;
    if (code < 32) return 0.933 + code / 15.0;
    return 3.0 * (0.933 + (code - 32) / 15.0);
}

double FrontEndOffset(uint8_t code, double step) {
    const double magnitude = (code & 0x1F) * step;
    return (code & 0x20) ? -magnitude : magnitude;
}

namespace {
constexpr std::size_t kNormalTableSize = 1 << 16;

uint64_t splitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
}  // namespace

CisSensor::CisSensor(const SensorConfig& config, Chip chip)
    : config_(config),
      // The LM9831 and LM9832 convert to 14 bits in the top of the 16-bit word; the LM9833 to 16.
      adcMask_(chip == Chip::LM9833 ? 0xFFFF : 0xFFFC),
      noiseState_(config.seed ^ 0x6E6F697365ull) {
    std::mt19937_64 rng(config.seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    const auto pixels = static_cast<std::size_t>(config.sensorPixels);
    sensitivity_.resize(pixels);
    dark_.resize(pixels);
    for (std::size_t p = 0; p < pixels; ++p) {
        const double s = 1.0 + config.prnuPercent / 100.0 * normal(rng);
        sensitivity_[p] = imaging(static_cast<uint32_t>(p)) ? static_cast<float>(std::max(0.2, s)) : 0.0f;
        dark_[p] = static_cast<float>(std::max(0.0, config.darkLevel + config.dsnuCounts * normal(rng)));
    }
    normalTable_.resize(kNormalTableSize);
    for (float& v : normalTable_) v = static_cast<float>(normal(rng));
}

bool CisSensor::imaging(uint32_t p) const {
    return p >= static_cast<uint32_t>(config_.imageStart) &&
           p < static_cast<uint32_t>(config_.imageStart + config_.imagePixels);
}

double CisSensor::sensitivity(uint32_t p) const { return p < sensitivity_.size() ? sensitivity_[p] : 0.0; }

// Line pixels past the last element read the output's idle (dark) level.
double CisSensor::dark(uint32_t p) const { return p < dark_.size() ? dark_[p] : config_.darkLevel; }

CisSensor::Conversion CisSensor::prepare(uint32_t start, uint32_t count, uint8_t offsetCode, uint8_t gainCode) const {
    Conversion c;
    const double gain = FrontEndGain(gainCode);
    const double offset = FrontEndOffset(offsetCode, config_.offsetStepCounts);
    c.a.resize(count);
    c.b.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        c.a[i] = static_cast<float>(config_.whiteSignal * sensitivity(start + i) * gain);
        c.b[i] = static_cast<float>((dark(start + i) + offset) * gain);
    }
    c.noise = static_cast<float>(config_.noiseCounts * gain);
    return c;
}

float CisSensor::gaussian() {
    // xorshift64*: cheap and seeded; the table holds normal deviates.
    noiseState_ ^= noiseState_ >> 12;
    noiseState_ ^= noiseState_ << 25;
    noiseState_ ^= noiseState_ >> 27;
    const uint64_t x = noiseState_ * 0x2545F4914F6CDD1Dull;
    return normalTable_[static_cast<std::size_t>(x >> 48)];
}

void CisSensor::convert(const Conversion& c, const float* light, uint32_t count, uint16_t* codes) {
    if (noiseState_ == 0) noiseState_ = splitMix(noiseState_);
    for (uint32_t i = 0; i < count; ++i) {
        float v = light[i] * c.a[i] + c.b[i];
        if (c.noise > 0) v += c.noise * gaussian();
        const float clipped = std::clamp(v, 0.0f, 65535.0f);
        codes[i] = static_cast<uint16_t>(static_cast<uint16_t>(clipped) & adcMask_);
    }
}

}  // namespace ordavel::virtual_scanner
