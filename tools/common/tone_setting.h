// Brightness, contrast, threshold and gamma as a front end offers them, turned into the client's
// tone-curve file that the driver applies while it scans. One place for the rule that makes the
// threshold of line art a shift of the curve, so every front end cuts black from white alike.
#pragma once

#include <cstdint>
#include <string>

#include "client/tone_curve.h"

namespace mirt {

struct ToneSetting {
    int32_t brightness = 0;    // -255 to 255, added to every level
    int32_t contrast = 0;      // -255 to 255
    int32_t threshold = 128;   // line art: a grey at or above it is white (0 to 255)
    int32_t gammaTenths = 10;  // 1 to 40: the curve's gamma in tenths (10 is linear)
};

// "" when every value is in its range; else what is out of range.
std::string ToneSettingProblem(const ToneSetting& setting);

// The curve's adjustments. In line art the driver cuts grey into black and white at 127 after
// the curve; shifting the curve by 128 - threshold puts that cut at the chosen threshold.
tone::Adjustments CurveAdjustments(const ToneSetting& setting, bool lineart);

// Writes the curve file the driver reads for a scan of that kind ("gamma_1a.gam" or
// "gamma_8a.gam" in its temporary directory) and tells the driver to use it. False, with the
// reason, when the file cannot be written.
bool UseToneCurve(const std::string& tempDir, const ToneSetting& setting, bool lineart, std::string& error);

// Tells the driver to go back to its own gamma tables (after the scan, as the client does).
void StopUsingToneCurve(const std::string& tempDir);

}  // namespace mirt
