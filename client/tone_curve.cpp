// The tone curve and its file.
#include "client/tone_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "client/whole_file.h"

namespace mirt::tone {

namespace {

constexpr double kPi = 3.1415926536;
constexpr const char* kChannelTitles[kChannels] = {";Gamma Data (red)", ";Gamma Data (green)", ";Gamma Data (blue)",
                                                   ";Gamma Data (all)"};

// The curve's exponent. Gamma counts in tenths, so 10 / G is a real division (G = 20 is a gamma
// of 2, not an exponent of 0). Gamma below 1 is outside the accepted range; it is read as linear
// rather than dividing by zero.
double Exponent(int32_t gamma) { return gamma > 0 ? 10.0 / gamma : 1.0; }

void AppendLine(std::string& text, const char* line) {
    text += line;
    text += "\r\n";
}

void AppendTable(std::string& text, char letter, const std::array<int32_t, kChannels>& values) {
    char line[80];
    std::snprintf(line, sizeof line, "; %c=%d,%d,%d,%d", letter, values[0], values[1], values[2], values[3]);
    AppendLine(text, line);
}

}  // namespace

Adjustments Adjustments::Uniform(int32_t brightness, int32_t contrast, int32_t highlight, int32_t shadow,
                                 int32_t gamma) {
    Adjustments a;
    a.brightness.fill(brightness);
    a.contrast.fill(contrast);
    a.highlight.fill(highlight);
    a.shadow.fill(shadow);
    a.gamma.fill(gamma);
    return a;
}

CurveScales ComputeCurveScales(const Adjustments& adjust) {
    CurveScales scales{};
    for (int i = 0; i < kChannels; ++i) {
        const double span = 4096.0 - (4.0 * adjust.shadow[i] + 4.0 * adjust.highlight[i]);
        scales[i] = span > 0 ? 255.0 / std::pow(span, Exponent(adjust.gamma[i])) : 0.0;
    }
    return scales;
}

int32_t Curve(int32_t level, int channel, const Adjustments& adjust, const CurveScales& scales) {
    const int32_t shadowLevel = 4 * adjust.shadow[channel];
    if (level < shadowLevel) return 0;
    if (adjust.shadow[channel] + adjust.highlight[channel] >= 256) return 0;
    // The ramp is truncated to an integer before brightness and contrast are added.
    const double ramp = scales[channel] * std::pow(static_cast<double>(level - shadowLevel), Exponent(adjust.gamma[channel]));
    const int32_t t = static_cast<int32_t>(std::trunc(std::min(ramp, 1e9)));
    const double v = adjust.brightness[channel] - std::cos(level * kPi / 4096) * adjust.contrast[channel] + t;
    if (v < 0) return 0;
    if (v > 255) return 255;
    return static_cast<int32_t>(std::trunc(v + 0.5));
}

std::string CurveFileText(const Adjustments& adjust) {
    std::string text;
    text.reserve(5 * 40 + kChannels * (24 + kCurveLevels * 9));
    AppendTable(text, 'B', adjust.brightness);
    AppendTable(text, 'C', adjust.contrast);
    AppendTable(text, 'H', adjust.highlight);
    AppendTable(text, 'S', adjust.shadow);
    AppendTable(text, 'G', adjust.gamma);
    const CurveScales scales = ComputeCurveScales(adjust);
    char line[32];
    for (int channel = 0; channel < kChannels; ++channel) {
        AppendLine(text, kChannelTitles[channel]);
        for (int32_t level = 0; level < kCurveLevels; ++level) {
            std::snprintf(line, sizeof line, "%x\t%x", level, Curve(level, channel, adjust, scales));
            AppendLine(text, line);
        }
    }
    return text;
}

CurveFileResult WriteCurveFile(const std::string& path, const Adjustments& adjust) {
    const std::string text = CurveFileText(adjust);
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    switch (WriteWholeFile(path, {bytes})) {
        case WholeFileResult::Written: return CurveFileResult::Written;
        case WholeFileResult::CannotCreate: return CurveFileResult::CannotCreate;
        case WholeFileResult::CannotWrite: break;
    }
    return CurveFileResult::CannotWrite;
}

}  // namespace mirt::tone
