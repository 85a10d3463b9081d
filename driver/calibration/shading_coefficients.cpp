// Shading coefficients from the white averages, and the coefficient file "cr.dat".
#include "driver/calibration/calibration_file.h"
#include "driver/calibration/shading_coefficients.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/calibration/calibration_state.h"
#include "driver/calibration/offset_codes.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

namespace {

void ComputeCoefficients(DriverContext& ctx, int32_t pixels) {
    CalibrationState& state = ctx.calibration;
    const auto& d = ctx.description;
    const int32_t targets[kColours] = {d.Red_Target, d.Green_Target, d.Blue_Target};
    for (int c = 0; c < kColours; ++c) {
        std::fill_n(state.coefficients[c].begin(), pixels, 0);
        for (int32_t x = 0; x < pixels; ++x) {
            auto at = static_cast<std::size_t>(x);
            state.coefficients[c][at] = ShadingCoefficient(targets[c], state.sums[c][at], ShadingBlackLevel(state, c, x));
        }
    }
}

std::vector<uint8_t> CoefficientWords(const CalibrationState& state, int colour, int32_t pixels) {
    std::vector<uint8_t> words(static_cast<std::size_t>(pixels) * 2);
    for (int32_t x = 0; x < pixels; ++x) {
        auto low16 = static_cast<uint32_t>(state.coefficients[colour][static_cast<std::size_t>(x)]) & 0xFFFF;
        words[2 * static_cast<std::size_t>(x)] = static_cast<uint8_t>(low16 >> 8);
        words[2 * static_cast<std::size_t>(x) + 1] = static_cast<uint8_t>(low16 & 0xFF);
    }
    return words;
}

bool WriteAll(std::FILE* file, const void* data, std::size_t size) {
    return std::fwrite(data, 1, size, file) == size;
}

bool WriteCoefficientFile(const CalibrationState& state, std::FILE* file, int32_t pixels) {
    const uint8_t count[4] = {static_cast<uint8_t>(pixels & 0xFF), static_cast<uint8_t>((pixels >> 8) & 0xFF),
                              static_cast<uint8_t>((pixels >> 16) & 0xFF),
                              static_cast<uint8_t>((pixels >> 24) & 0xFF)};
    if (!WriteAll(file, "v2\n", 3) || !WriteAll(file, count, sizeof count)) return false;
    for (int c = 0; c < kColours; ++c) {
        std::vector<uint8_t> words = CoefficientWords(state, c, pixels);
        if (!WriteAll(file, words.data(), words.size())) return false;
    }
    return true;
}

}  // namespace

int32_t ShadingBlackLevel(const CalibrationState& state, int colour, int32_t x) {
    return state.blackShadingValid ? state.blackProfile[colour][static_cast<std::size_t>(x)]
                                   : state.channelMinimum[colour];
}

int32_t ShadingCoefficient(int32_t target, int32_t average, int32_t black) {
    double span = static_cast<double>(average) - black;
    if (span <= 0) return 0;
    return TruncToInt(static_cast<double>(target) * 16384.0 / span);
}

bool RunCoefficientStep(DriverContext& ctx, int32_t pixels) {
    pixels = std::clamp(pixels, 0, kCalibrationPixels);
    // The coefficients are computed before the file is touched, so the tables downloaded next are
    // this calibration's even when "cr.dat" cannot be written.
    ComputeCoefficients(ctx, pixels);

    return WriteCalibrationFile(ctx, "cr.dat", [&ctx, pixels](std::FILE* file) {
        return WriteCoefficientFile(ctx.calibration, file, pixels);
    });
}

}  // namespace ordavel::calibration
