// The calibration-scan analysis: reading a raw calibration file and averaging it per pixel, with
// the record layouts of the colour modes, the accumulation rules of the three analysis modes and
// the coarse statistics.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "driver/calibration/calibration_state.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

enum class AnalysisMode { Coarse, BlackFine, WhiteFine };

// "Coarse", "BlackFine" or "WhiteFine"; nothing for any other name.
std::optional<AnalysisMode> ParseAnalysisMode(std::string_view name);

// The controller's pixel registers are 16 bits wide, so no line it delivers holds more pixels;
// a header claiming more can only come from a damaged file.
inline constexpr int32_t kMaxLinePixels = 65535;
// Line buffer of the "WhiteFine" analysis.
inline constexpr int64_t kWhiteFineBufferBytes = 196608;

struct RecordLayout {
    int32_t samplesPerPixel = 1;   // 3 in pixel-interleaved mode
    bool colourPerRecord = false;  // line-interleaved: each record holds one colour
    int32_t bytesPerSample = 2;
    int64_t recordLength = 0;      // samples rounded down to even, plus the 2 unused bytes
};

// Calibration always scans 16-bit samples (register 0x09 gets 0x20). Should the geometry report
// another depth, samples of 8 bits or fewer are read one byte each, which keeps every read inside
// its record. Colour modes other than 0 and 1 carry one sample per pixel, as the geometry
// read-back counts one channel for them.
RecordLayout RecordLayoutFor(int32_t colourMode, int32_t bitsPerSample, int64_t pixels);

// Records that make up whole lines: in line-interleaved mode whole red-green-blue triples.
int64_t WholeLineRecords(int64_t records, const RecordLayout& layout);

// The "WhiteFine" outlier rule: what to add to a pixel's sum for sample v on line n (n counts from
// 1). Line 1 adds v; later lines compare v with the average of the earlier ones and add that
// average instead when v lies below it by more than avg/min(n,100) or above it by more than ten
// times that.
int32_t OutlierRuleAddend(int32_t sum, int32_t sample, int32_t n);

// The black strip is not dark when one pixel of its first line exceeds a quarter of the white
// target in all three colours (floating-point comparisons).
bool PixelShowsBrightStrip(const CalibrationState& state, int32_t x, int32_t redTarget,
                           int32_t greenTarget, int32_t blueTarget);

// The "Coarse" step after averaging: channel minimum and maximum over pixels 50 to N - 51, those
// averages copied into the black profile, and "startpixel" written to the settings file.
void RunCoarseStatistics(DriverContext& ctx, int32_t pixels);

}  // namespace ordavel::calibration
