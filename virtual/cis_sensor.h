// The contact image sensor and the analogue front end: a line of elements, each with its own
// sensitivity (photo response non-uniformity) and dark level (dark signal non-uniformity), seeded
// temporal noise, the front end's offset and gain per colour channel, and the ADC.
#pragma once

#include <cstdint>
#include <vector>

#include "virtual/scanner_config.h"

namespace ordavel::virtual_scanner {

// Gain of a front-end gain code: 0.933 + code/15 for codes 0–31, three times
// 0.933 + (code − 32)/15 for codes 32–63.
double FrontEndGain(uint8_t code);
// Offset code: 6-bit sign and magnitude (bit 5 = negative), `step` counts per magnitude step.
double FrontEndOffset(uint8_t code, double step);

class CisSensor {
public:
    CisSensor(const SensorConfig& config, Chip chip);

    // Relative response of a line pixel (0 for pixels that see no paper: optical black, and
    // line pixels beyond the sensor's elements) and its dark signal in counts.
    double sensitivity(uint32_t linePixel) const;
    double dark(uint32_t linePixel) const;
    bool imaging(uint32_t linePixel) const;

    // Prepared per pixel and front-end channel for one scan: code = clip((light × a + b + noise × n)).
    struct Conversion {
        std::vector<float> a, b;
        float noise = 0;
    };
    // For line pixels [start, start + count) through a front-end channel.
    Conversion prepare(uint32_t start, uint32_t count, uint8_t offsetCode, uint8_t gainCode) const;
    // light[i]: exposure × reflectance seen by pixel start + i (1 = reflectance 1 at the reference
    // exposure). Writes ADC codes on the 16-bit scale.
    void convert(const Conversion& conversion, const float* light, uint32_t count, uint16_t* codes);

    uint16_t adcMask() const { return adcMask_; }

private:
    float gaussian();

    SensorConfig config_;
    uint16_t adcMask_;
    std::vector<float> sensitivity_;
    std::vector<float> dark_;
    std::vector<float> normalTable_;
    uint64_t noiseState_;
};

}  // namespace ordavel::virtual_scanner
