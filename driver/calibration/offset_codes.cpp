// The analogue front end's offset and gain codes.
#include "driver/calibration/offset_codes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ordavel::calibration {

int32_t EncodeOffset(int32_t value) {
    value = std::clamp(value, -kMaxOffset, kMaxOffset);
    if (value >= 0) return value;
    return (-value & 0x1F) | 0x20;
}

int32_t DecodeOffset(int32_t code) {
    return (code & 0x20) != 0 ? -(code & 0x1F) : code;
}

double GainOfCode(int32_t code) {
    if (code < 32) return 0.933 + code / 15.0;
    return 3.0 * (0.933 + (code - 32) / 15.0);
}

int32_t MinimumGainCode(double minimumStaticGain) {
    return TruncToInt((minimumStaticGain - 0.933) * 14.925373134328357);
}

int32_t TruncToInt(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLow = std::numeric_limits<int32_t>::min();
    constexpr double kHigh = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::trunc(std::clamp(value, kLow, kHigh)));
}

}  // namespace ordavel::calibration
