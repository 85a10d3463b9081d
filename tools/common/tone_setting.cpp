// Tone settings through the curve file.
#include "tools/common/tone_setting.h"

#include <filesystem>

#include "platform/profile.h"

namespace mirt {

namespace fs = std::filesystem;

namespace {

void SetCurveFlag(const std::string& tempDir, bool useCurve) {
    // The driver reads its curve from the adjusted file name while the flag is 0.
    ordavel::platform::WriteProfileString((fs::path(tempDir) / "Mirt.def").string(), "TWAINSCAN", "TwainScan",
                                          useCurve ? "0" : "1");
}

}  // namespace

std::string ToneSettingProblem(const ToneSetting& s) {
    if (s.brightness < -255 || s.brightness > 255) return "brightness must be -255 to 255";
    if (s.contrast < -255 || s.contrast > 255) return "contrast must be -255 to 255";
    if (s.threshold < 0 || s.threshold > 255) return "threshold must be 0 to 255";
    if (s.gammaTenths < 1 || s.gammaTenths > 40) return "gamma must be 0.1 to 4.0";
    return {};
}

tone::Adjustments CurveAdjustments(const ToneSetting& s, bool lineart) {
    const int32_t brightness = lineart ? s.brightness + 128 - s.threshold : s.brightness;
    return tone::Adjustments::Uniform(brightness, s.contrast, 0, 0, s.gammaTenths);
}

bool UseToneCurve(const std::string& tempDir, const ToneSetting& setting, bool lineart, std::string& error) {
    const std::string path = (fs::path(tempDir) / (lineart ? "gamma_1a.gam" : "gamma_8a.gam")).string();
    switch (tone::WriteCurveFile(path, CurveAdjustments(setting, lineart))) {
        case tone::CurveFileResult::Written:
            SetCurveFlag(tempDir, true);
            return true;
        case tone::CurveFileResult::CannotCreate:
            error = std::string(tone::kCannotCreateCurveFile) + " (" + path + ")";
            return false;
        case tone::CurveFileResult::CannotWrite:
            error = std::string(tone::kCannotWriteCurveFile) + " (" + path + ")";
            return false;
    }
    return false;
}

void StopUsingToneCurve(const std::string& tempDir) { SetCurveFlag(tempDir, false); }

}  // namespace mirt
