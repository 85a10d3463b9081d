// The tone curve that turns brightness, contrast, highlight, shadow and gamma into a 4096-entry
// curve per channel, and the curve file the driver reads it from. Self-contained: any front
// end (the scan-to-file library, mirt, a SANE backend) can use it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mirt::tone {

// Channel indexes of every table: red, green, blue, and the value for all channels.
inline constexpr int kChannels = 4;
inline constexpr int kCurveLevels = 4096;

struct Adjustments {
    std::array<int32_t, kChannels> brightness{};  // B
    std::array<int32_t, kChannels> contrast{};    // C
    std::array<int32_t, kChannels> highlight{};   // H
    std::array<int32_t, kChannels> shadow{};      // S
    std::array<int32_t, kChannels> gamma{10, 10, 10, 10};  // G, in tenths

    // Every channel set to the same five values.
    static Adjustments Uniform(int32_t brightness, int32_t contrast, int32_t highlight, int32_t shadow,
                               int32_t gamma);
};

// The scale that maps the span between shadow and highlight onto 0..255, one per channel.
using CurveScales = std::array<double, kChannels>;
CurveScales ComputeCurveScales(const Adjustments& adjust);

// The curve's output (0..255) for input level `level` (0..4095) of `channel`.
int32_t Curve(int32_t level, int channel, const Adjustments& adjust, const CurveScales& scales);

enum class CurveFileResult { Written, CannotCreate, CannotWrite };

// The whole curve file as text: the five adjustment lines, then per channel a title line and
// 4096 "level<TAB>value" lines in lower-case hexadecimal; every line ends in CR LF.
std::string CurveFileText(const Adjustments& adjust);

// Writes the curve file to `path` whole or not at all (a temporary file renamed over it), so the
// driver never reads half a curve.
CurveFileResult WriteCurveFile(const std::string& path, const Adjustments& adjust);

// The messages a front end shows for the two failures (caption "File Error").
inline constexpr const char* kCurveFileErrorCaption = "File Error";
inline constexpr const char* kCannotCreateCurveFile = "Can't create file!";
inline constexpr const char* kCannotWriteCurveFile = "Can't write file!";

}  // namespace mirt::tone
