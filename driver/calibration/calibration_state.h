// Calibration state kept in the engine: per-pixel sums, black profile, coefficients, statistics.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace ordavel::calibration {

// Entries per colour of every per-pixel calibration array.
inline constexpr int kCalibrationPixels = 16384;
inline constexpr int kColours = 3;
inline constexpr int kRed = 0;
inline constexpr int kGreen = 1;
inline constexpr int kBlue = 2;

// Colour modes of a calibration scan, as the geometry read-back reports register 0x26.
inline constexpr int32_t kPixelInterleaved = 0;  // red, green, blue samples of a pixel side by side
inline constexpr int32_t kLineInterleaved = 1;   // one colour per record: red, green, blue lines
inline constexpr int32_t kOneSample = 4;         // one grey sample per pixel, counts for all colours

// Three per-pixel arrays (red, green, blue) of kCalibrationPixels signed 32-bit entries. They are
// allocated once with the driver context, so an analysis never allocates per pixel, and they live
// on the heap because the context itself may live on a stack.
class ChannelArrays {
public:
    ChannelArrays() : values_(static_cast<std::size_t>(kColours) * kCalibrationPixels, 0) {}

    std::span<int32_t, kCalibrationPixels> operator[](int colour) {
        return std::span<int32_t, kCalibrationPixels>(values_.data() + Offset(colour), kCalibrationPixels);
    }
    std::span<const int32_t, kCalibrationPixels> operator[](int colour) const {
        return std::span<const int32_t, kCalibrationPixels>(values_.data() + Offset(colour),
                                                            kCalibrationPixels);
    }

private:
    static std::size_t Offset(int colour) {
        return static_cast<std::size_t>(colour) * kCalibrationPixels;
    }
    std::vector<int32_t> values_;
};

struct CalibrationState {
    ChannelArrays sums;          // per-pixel sums; per-pixel averages after a complete analysis
    ChannelArrays blackProfile;  // per-pixel black levels
    ChannelArrays coefficients;  // per-pixel shading gain, 14 fraction bits (16384 = 1.0)
    std::array<int32_t, kColours> channelMinimum{};  // smallest per-pixel average of the last
    std::array<int32_t, kColours> channelMaximum{};  // coarse analysis, and the largest
    int32_t pixelsPerLine = 0;   // of the last completely analysed calibration file
    int32_t colourMode = kOneSample;  // of the current calibration scan (from the geometry)
    int32_t bitsPerSample = 16;       // of the current calibration scan (from the geometry)
    // How many lines the next calibration scan reads: the acquisition is given it as the `lines`
    // of ScanParms just before the scan (see ScanCalibrationFile).
    int32_t linesPerReadRequest = 1;
    bool blackShadingValid = false;     // the offset table comes from a complete black strip
    bool blackStripEndedEarly = false;  // the last black analysis found the strip was not dark
    std::string fileName;               // path of the current calibration file
    int32_t xResolution = 0;            // horizontal and vertical resolution of calibration scans
    int32_t yResolution = 0;
    // Last non-zero register 0x34 (high byte of the blue lamp's switch-on time) a fine step found
    // in its image; lives as long as the driver.
    uint8_t rememberedLampByte = 0;
    // "GAIN_OFFSET" keys of the calibration in progress, written with its files when it succeeds.
    std::vector<std::pair<std::string, std::string>> stagedSettings;
    // Stale temporaries in the temporary directory are looked for once per driver context.
    bool temporariesSwept = false;
};

}  // namespace ordavel::calibration
