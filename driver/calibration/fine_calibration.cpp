// Fine calibration: a black or white strip of "looplines" lines scanned and averaged per pixel.
#include "driver/calibration/fine_calibration.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_scan.h"
#include "driver/calibration/calibration_set.h"
#include "driver/calibration/calibration_trace.h"
#include "driver/calibration/shading_download.h"
#include "driver/description/register_programming.h"
#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

namespace {

using description::RegisterImage;

constexpr int kBlueLampOnHigh = 0x34;
constexpr int kMotorRegister = 0x45;
constexpr int32_t kDarkLampOnHigh = 8;

// Steps 1 to 8: the calibration-pass image of this step written to the chip; the step size
// (the motor's rate) comes back in `stepSize`.
bool ProgramFineImage(DriverContext& ctx, int32_t scanMode, RegisterImage& image, bool black,
                      int32_t& stepSize) {
    if (!description::BuildRegisterImage(ctx, image, true)) return false;
    image[0x09] = scanMode | 0x20;  // 16-bit samples
    if (black) {
        image[0x42] |= 4;
    } else {
        image[0x42] &= ~7;
    }
    engine::CalculateScanRect(ctx, &image, "fine");
    image[0x4B] = 20;
    image[0x4A] = ctx.description.Start_of_Calibration / 256;
    ctx.calibration.xResolution = 200;
    ctx.calibration.yResolution = 200;
    description::InitStepTiming(ctx, image);
    stepSize = image.get16(0x46);
    Trace("DoFineCalibration write mernlin");
    return description::WriteRegisterImage(ctx, image);
}

// Steps 9 to 13: the strip height in lines (also written to "looplines") and the lines of the
// first read request, from the geometry read back from the chip.
bool PlanStrip(DriverContext& ctx, RegisterImage& image, int32_t stepSize, int32_t& looplines) {
    int32_t linePeriod = description::ComputeLinePeriod(ctx, image, true);
    int32_t phases = (image[0x26] & 3) == 1 ? 3 : 1;
    looplines = ComputeLooplines(ctx.description.Calibration_Strip_Height, stepSize, linePeriod);
    StageSetting(ctx, "looplines", std::to_string(looplines));
    if (!engine::ReadBackScanGeometry(ctx)) return false;
    ctx.calibration.linesPerReadRequest =
        LinesPerReadRequest(description::IsLM9831(ctx.description),
                            description::MemUnitsToBytes(ctx, image[0x4E]), ctx.engine.parms.bytesperline,
                            phases, looplines);
    Trace("fine lines/scan = %x", ctx.calibration.linesPerReadRequest);
    return true;
}

// Steps 15 and 16: the lamp of a black strip is switched on after the end of the line and the
// motor held; a white strip gets the lamp byte remembered from earlier images.
bool ProgramStripLamp(DriverContext& ctx, RegisterImage& image, bool black) {
    CalibrationState& state = ctx.calibration;
    if (image[kBlueLampOnHigh] != 0) state.rememberedLampByte = static_cast<uint8_t>(image[kBlueLampOnHigh]);
    if (black) {
        image[kBlueLampOnHigh] = kDarkLampOnHigh;
        image[kMotorRegister] &= 0xEF;
    } else {
        image[kBlueLampOnHigh] = state.rememberedLampByte;
    }
    Trace("DoFineCalibration2 write mernlin");
    if (!description::WriteRegisterImage(ctx, image)) return false;
    ctx.clock().sleep(100);
    return true;
}

// Step 17: scans until exactly `wanted` lines are averaged after three discarded ones.
bool CollectStrip(DriverContext& ctx, const char* name, int32_t looplines) {
    CalibrationState& state = ctx.calibration;
    int32_t counter = -kDiscardedLines;
    int32_t wanted = looplines - kDiscardedLines;
    while (counter < wanted) {
        if (!device::WaitForIdle(ctx) || !engine::ReadBackScanGeometry(ctx)) return false;
        state.linesPerReadRequest = std::min(state.linesPerReadRequest, wanted - counter);
        int32_t before = counter;
        if (!ScanCalibrationFile(ctx)) return false;
        if (AnalyseCalibrationScan(ctx, state.fileName, name, counter, wanted) == 0) return false;
        if (counter == before) {
            // A scan that delivered no whole line would repeat forever.
            device::Report(ctx, "读扫描文件错误");
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t ComputeLooplines(int32_t stripHeight, int32_t stepSize, int32_t linePeriod) {
    if (linePeriod <= 0) return kMinimumLooplines;
    int64_t lines = int64_t{stripHeight} * stepSize * 4 / linePeriod;
    lines = std::min<int64_t>(lines, std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(std::max<int64_t>(lines, kMinimumLooplines));
}

int32_t LinesPerReadRequest(bool lm9831, int32_t bufferBytes, int32_t bytesPerLine, int32_t phases,
                            int32_t looplines) {
    if (!lm9831) return std::max(looplines, 1);
    int64_t lineBytes = std::max(bytesPerLine, 1);
    int64_t lines = (int64_t{bufferBytes} + lineBytes - 1) / (lineBytes * std::max(phases, 1));
    return static_cast<int32_t>(std::clamp<int64_t>(lines, 1, std::numeric_limits<int32_t>::max()));
}

int DoFineCalibration(DriverContext& ctx, int32_t scanMode, RegisterImage& image, const char* name) {
    std::string_view step = name != nullptr ? name : "";
    if (step != "BlackFine" && step != "WhiteFine") {
        device::Report(ctx, "Unknown fine calibration step %s", name != nullptr ? name : "");
        return 0;
    }
    bool black = step == "BlackFine";
    int32_t stepSize = 0;
    int32_t looplines = 0;
    if (!ProgramFineImage(ctx, scanMode, image, black, stepSize)) return 0;
    if (!PlanStrip(ctx, image, stepSize, looplines)) return 0;
    SelectCalibrationFile(ctx, black ? "BlackFINE.PXL" : "FINE.PXL");
    if (!ProgramStripLamp(ctx, image, black)) return 0;
    // The black strip is scanned with the offset table switched on (register 0x42 bit 2), so the
    // chip subtracts whatever table it holds from the black it measures. After an earlier
    // calibration or a scan's shading download that is the old black level, and the new one would
    // come out near zero and undo the black correction. Zero tables make every black scan measure
    // the raw black level, as the first one after power-up does.
    if (black && !ClearOffsetTables(ctx, ctx.engine.parms.pixelsperline)) return 0;
    return CollectStrip(ctx, name, looplines) ? 1 : 0;
}

}  // namespace ordavel::calibration
