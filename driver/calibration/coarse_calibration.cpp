// Coarse calibration: the analogue front end's blue gain and offset searched pass by pass against
// a white and a dark scan of the calibration strip, and the result stored in "Mirt.def".
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_set.h"
#include "driver/calibration/calibration_scan.h"
#include "driver/calibration/calibration_trace.h"
#include "driver/calibration/coarse_steps.h"
#include "driver/calibration/offset_codes.h"
#include "driver/description/register_programming.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

namespace {

using description::RegisterImage;

constexpr int kOffsetRegister = 0x38;  // + colour: 0x38 red, 0x39 green, 0x3A blue
constexpr int kGainRegister = 0x3B;    // + colour: 0x3B red, 0x3C green, 0x3D blue
constexpr int kBlueLampOnHigh = 0x34;
constexpr int kMotorRegister = 0x45;
constexpr int kMotorOutputsBit = 0x10;
// Moving the blue lamp's switch-on to 0x08xx puts it after the end of the line: a dark line.
constexpr int32_t kDarkLampOnHigh = 8;
// Only the third channel is calibrated; red and green keep offset 0 and the minimum gain.
constexpr int kColour = kBlue;

struct CoarseRun {
    DriverContext& ctx;
    RegisterImage& image;
    std::array<ChannelSearch, kColours> search;
    int32_t minimumGainCode = 0;
    bool first = true;
};

enum class PassResult { Continue, Succeeded, Failed };

bool SetRegister(DriverContext& ctx, RegisterImage& image, int reg, int32_t value) {
    image[reg] = value;
    return device::WriteRegister(ctx, static_cast<uint8_t>(reg), static_cast<uint8_t>(value & 0xFF));
}

void PrepareCoarseImage(DriverContext& ctx, int32_t scanMode, RegisterImage& image, int32_t minimumGainCode) {
    const auto& d = ctx.description;
    image[0x1C] = 0;
    image[0x1D] = std::max(d.Optical_Black_Pixels_Start - 1, 0);
    image[0x09] = scanMode | 0x20;  // 16-bit samples
    int32_t end = d.startPixel + d.Image_Pixel_Width;
    if (end >= d.Total_Pixels - 20) end = d.Total_Pixels - 20;
    image[0x24] = end / 256;
    image[0x25] = end & 0xFF;
    // The gain registers are six bits wide: a minimum gain code outside 0..63 (a Minimum_Static_Gain
    // above about 5.2 or below 0.933) is written as the nearest code the register holds, instead
    // of its low bits standing for some unrelated gain. The search itself keeps the unclamped code.
    int32_t startGain = std::clamp(minimumGainCode, 0, kMaxGainCode);
    for (int c = 0; c < kColours; ++c) {
        image[kOffsetRegister + c] = 0;
        image[kGainRegister + c] = startGain;
    }
    image[0x3E] = 0;
    image[0x3F] = 0;
    image[0x40] = 0x40;
    image[0x41] = 0;
    image[0x42] &= ~7;  // no shading while the front end is calibrated
    ctx.calibration.xResolution = 200;
    ctx.calibration.yResolution = 200;
    description::InitStepTiming(ctx, image);
    Trace("DoCoarseCalibration write mernlin");
}

std::array<ChannelSearch, kColours> StartSearch(const description::ScannerDescription& d) {
    std::array<ChannelSearch, kColours> search{};
    const int32_t targets[kColours] = {d.Red_Target, d.Green_Target, d.Blue_Target};
    const int32_t minTargets[kColours] = {d.Min_Red_Target, d.Min_Green_Target, d.Min_Blue_Target};
    for (int c = 0; c < kColours; ++c) {
        search[c].target = targets[c];
        search[c].minTarget = minTargets[c];
    }
    return search;
}

// Scans the strip once into "COARSE.PXL", turns the motor outputs off again and analyses it.
bool ScanAndAnalyse(CoarseRun& run) {
    DriverContext& ctx = run.ctx;
    if (!ScanCalibrationFile(ctx)) return false;
    if (!device::WriteRegister(ctx, kMotorRegister,
                               static_cast<uint8_t>(run.image[kMotorRegister] & ~kMotorOutputsBit & 0xFF))) {
        return false;
    }
    int32_t counter = 0;
    return AnalyseCalibrationScan(ctx, ctx.calibration.fileName, "Coarse", counter, 0) != 0;
}

void HoldStill(RegisterImage& image) {
    image[0x4A] = 0;
    image[0x4B] = 0;
    image[kMotorRegister] = 0;
}

bool MeasureWhite(CoarseRun& run, int32_t& white) {
    DriverContext& ctx = run.ctx;
    if (!device::WaitForIdle(ctx)) return false;
    SelectCalibrationFile(ctx, "COARSE.PXL");
    // The first pass scans with the geometry the caller prepared, skipping Start_of_Calibration
    // steps with the motor on; later passes read the geometry back and hold the sheet still.
    if (!run.first) {
        if (!engine::ReadBackScanGeometry(ctx)) return false;
        HoldStill(run.image);
    }
    if (!ScanAndAnalyse(run)) return false;
    white = ctx.calibration.channelMaximum[kColour];
    return true;
}

bool MeasureBlack(CoarseRun& run, int32_t& black) {
    DriverContext& ctx = run.ctx;
    run.image[kBlueLampOnHigh] = kDarkLampOnHigh;
    if (!description::WriteRegisterImage(ctx, run.image) || !device::WaitForIdle(ctx)) return false;
    SelectCalibrationFile(ctx, "COARSE.PXL");
    HoldStill(run.image);
    if (!ScanAndAnalyse(run)) return false;
    black = ctx.calibration.channelMinimum[kColour];
    return true;
}

bool ApplyFirstEstimate(CoarseRun& run, int32_t white, int32_t black) {
    FrontEndSetting setting = FirstEstimate(white, black, run.search[kColour].target, run.minimumGainCode);
    return SetRegister(run.ctx, run.image, kGainRegister + kColour, setting.gain) &&
           SetRegister(run.ctx, run.image, kOffsetRegister + kColour, EncodeOffset(setting.offset));
}

// The lamp period and the PWM duty are written to the chip and kept in the image as well: every
// pass rewrites the whole image, which would otherwise undo the change before the next scan and
// leave the search turning the light down in memory only.
bool ShortenLampPeriod(CoarseRun& run, int colour) {
    Trace("Exceed integration time, color=%x", colour);
    auto& d = run.ctx.description;
    int32_t* on[kColours] = {&d.Red_Lamp_On, &d.Green_Lamp_On, &d.Blue_Lamp_On};
    int32_t* off[kColours] = {&d.Red_Lamp_Off, &d.Green_Lamp_Off, &d.Blue_Lamp_Off};
    constexpr int kOffRegister[kColours] = {0x2E, 0x32, 0x36};
    int32_t shortened = ShortenedLampOff(*on[colour], *off[colour]);
    if (shortened == *off[colour]) {
        // The lamp period is gone and the white is still above target: no pass can change that.
        device::Report(run.ctx, "图像太亮!");
        return false;
    }
    *off[colour] = shortened;
    int reg = kOffRegister[colour];
    return SetRegister(run.ctx, run.image, reg, shortened / 256) &&
           SetRegister(run.ctx, run.image, reg + 1, shortened & 0xFF);
}

bool ReducePwmDuty(CoarseRun& run) {
    auto& d = run.ctx.description;
    int32_t previous = d.workingGreenDuty;
    int32_t duty = ReducedDuty(previous);
    d.workingGreenDuty = duty;
    // A duty cycle that no longer falls (a floor of 0 reached) ends the search like the floor.
    if (duty < d.Green_PWM_Duty_Cycle_Low || duty == previous) {
        device::Report(run.ctx, "图像太亮!");
        return false;
    }
    return SetRegister(run.ctx, run.image, 0x2A, duty / 256) && SetRegister(run.ctx, run.image, 0x2B, duty & 0xFF);
}

void StoreCoarseResults(DriverContext& ctx, const RegisterImage& image) {
    static constexpr const char* kRegisterKeys[6] = {"regs[0x38]", "regs[0x39]", "regs[0x3A]",
                                                     "regs[0x3B]", "regs[0x3C]", "regs[0x3D]"};
    static constexpr const char* kMinimumKeys[kColours] = {"minBlackred", "minBlackgreen", "minBlackblue"};
    // Kept with the calibration's set and written with its files when the whole calibration has
    // succeeded: gain codes of this calibration beside the shading of an earlier one would give
    // every later scan a wrong white.
    for (int i = 0; i < 6; ++i) StageSetting(ctx, kRegisterKeys[i], std::to_string(image[0x38 + i]));
    for (int c = 0; c < kColours; ++c) {
        StageSetting(ctx, kMinimumKeys[c], std::to_string(ctx.calibration.channelMinimum[c]));
    }
}

// The gain step of one pass; `settled` tells whether it marked the gain settled.
bool RunGainStep(CoarseRun& run, int32_t white, bool& settled) {
    // The PWM step is armed once per pass, at the gain step of the one colour calibrated: a white
    // still above target at the minimum gain then lowers the green duty cycle by 10 % each pass
    // until the white comes down or the floor reports "图像太亮!". Left unarmed, such a strip
    // would never settle and the passes, which have no limit, would never end.
    bool pwmArmed = true;
    int32_t gain = run.image[kGainRegister + kColour];
    bool lampPeriodControl = (run.ctx.description.Illumination_Mode & 0x02) != 0;
    settled = false;
    switch (GainStep(run.search[kColour], gain, white, run.minimumGainCode, lampPeriodControl, pwmArmed)) {
        case GainAction::Lowered:
        case GainAction::Raised:
            return SetRegister(run.ctx, run.image, kGainRegister + kColour, gain);
        case GainAction::ShortenLamp:
            return ShortenLampPeriod(run, kColour);
        case GainAction::ReducePwm:
            return ReducePwmDuty(run);
        case GainAction::TooDark:
            device::Report(run.ctx, "图像太黑，无法校正!");
            return false;
        case GainAction::Settled:
            settled = true;
            return true;
        case GainAction::Unchanged:
            return true;
    }
    return true;
}

PassResult RunOffsetStep(CoarseRun& run, int32_t black, bool gainSettled) {
    int32_t offset = DecodeOffset(run.image[kOffsetRegister + kColour]);
    bool offsetSettled = false;
    switch (OffsetStep(run.search[kColour], offset, black, gainSettled)) {
        case OffsetAction::Raised:
        case OffsetAction::Lowered:
            if (!SetRegister(run.ctx, run.image, kOffsetRegister + kColour, EncodeOffset(offset))) {
                return PassResult::Failed;
            }
            break;
        case OffsetAction::FinishAtMaximum:
            if (!SetRegister(run.ctx, run.image, kOffsetRegister + kColour, kMaxOffset)) return PassResult::Failed;
            StoreCoarseResults(run.ctx, run.image);
            return PassResult::Succeeded;
        case OffsetAction::CannotCalibrate:
            device::Report(run.ctx, "无法校正，请更换校正纸!");
            return PassResult::Failed;
        case OffsetAction::Settled:
            offsetSettled = true;
            break;
        case OffsetAction::Unchanged:
            break;
    }
    if (offsetSettled && gainSettled) {
        StoreCoarseResults(run.ctx, run.image);
        return PassResult::Succeeded;
    }
    return PassResult::Continue;
}

PassResult RunPass(CoarseRun& run) {
    int32_t white = 0;
    int32_t black = 0;
    if (!MeasureWhite(run, white) || !MeasureBlack(run, black)) return PassResult::Failed;
    if (run.first) {
        device::ReportProgress(run.ctx, "校正中(大约需要1分钟)...");
        if (!ApplyFirstEstimate(run, white, black)) return PassResult::Failed;
        run.first = false;
    } else {
        bool gainSettled = false;
        if (!RunGainStep(run, white, gainSettled)) return PassResult::Failed;
        PassResult result = RunOffsetStep(run, black, gainSettled);
        if (result != PassResult::Continue) return result;
    }
    run.image[kBlueLampOnHigh] = 0;
    return description::WriteRegisterImage(run.ctx, run.image) ? PassResult::Continue : PassResult::Failed;
}

}  // namespace

int DoCoarseCalibration(DriverContext& ctx, int32_t scanMode, RegisterImage& image) {
    Trace("Start Docalibration");
    if (!description::BuildRegisterImage(ctx, image, true)) return 0;
    int32_t minimumGainCode = MinimumGainCode(ctx.description.Minimum_Static_Gain);
    PrepareCoarseImage(ctx, scanMode, image, minimumGainCode);

    CoarseRun run{ctx, image, StartSearch(ctx.description), minimumGainCode, true};
    ctx.calibration.linesPerReadRequest = 1;
    image[kBlueLampOnHigh] = 0;
    if (!description::WriteRegisterImage(ctx, image)) return 0;
    // There is no limit on the passes: every pass either moves a code, turns the light down, or
    // settles; the light can only be turned down until the floors above end the search.
    for (;;) {
        PassResult result = RunPass(run);
        if (result == PassResult::Succeeded) return 1;
        if (result == PassResult::Failed) return 0;
    }
}

}  // namespace ordavel::calibration
