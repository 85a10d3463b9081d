// One calibration scan through the acquisition, and the hand-over of its geometry.
#include "driver/calibration/calibration_scan.h"

#include <algorithm>

#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

void SelectCalibrationFile(DriverContext& ctx, std::string_view name) {
    ctx.calibration.fileName = ctx.TempFilePath(name);
}

bool ScanCalibrationFile(DriverContext& ctx) {
    // At least one line: a scan of none would never advance the analysis.
    ctx.engine.parms.lines = std::max(ctx.calibration.linesPerReadRequest, 1);
    if (!engine::ScanToEnd(ctx, ctx.calibration.fileName)) return false;
    TakeScanGeometry(ctx);
    return true;
}

void TakeScanGeometry(DriverContext& ctx) {
    ctx.calibration.colourMode = ctx.engine.parms.channelmode;
    ctx.calibration.bitsPerSample = ctx.engine.parms.bitsperchannel;
}

}  // namespace ordavel::calibration
