// The analogue front end's codes: sign-magnitude offset codes, gain code values, the minimum
// gain code, and the saturating float-to-integer truncation the calibration arithmetic uses.
#pragma once

#include <cstdint>

namespace ordavel::calibration {

inline constexpr int32_t kMaxOffset = 31;   // offsets run from -31 to +31
inline constexpr int32_t kMaxGainCode = 63;

// 6-bit sign and magnitude: bits 0-4 the magnitude, bit 5 (0x20) the sign. Values outside
// -31..31 cannot be represented and are clamped first (no caller produces them).
int32_t EncodeOffset(int32_t value);
int32_t DecodeOffset(int32_t code);

// Gain a code stands for: 0.933 + code/15 for 0..31, three times that of (code - 32) for 32..63.
double GainOfCode(int32_t code);

// trunc((minimumStaticGain - 0.933) x 14.925373134328357); deliberately not clamped here.
int32_t MinimumGainCode(double minimumStaticGain);

// Truncation toward zero that never leaves the int32 range: NaN gives 0 and infinities and huge
// values saturate, so a degenerate measurement cannot cause undefined conversions.
int32_t TruncToInt(double value);

}  // namespace ordavel::calibration
