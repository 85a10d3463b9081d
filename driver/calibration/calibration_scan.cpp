// One calibration scan through the acquisition, and the hand-over of its geometry.
#include "driver/calibration/calibration_scan.h"

#include <algorithm>

#include "driver/calibration/calibration_set.h"
#include "driver/calibration/stored_calibration.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

void SelectCalibrationFile(DriverContext& ctx, std::string_view name) {
    // The set's files are written under their staged names, put in place when calibration succeeds.
    const bool ofTheSet = std::find(kStoredFiles.begin(), kStoredFiles.end(), name) != kStoredFiles.end();
    ctx.calibration.fileName = ofTheSet ? StagedPath(ctx, name) : ctx.TempFilePath(name);
}

bool ScanCalibrationFile(DriverContext& ctx) {
    // At least one line: a scan of none would never advance the analysis.
    ctx.engine.parms.lines = std::max(ctx.calibration.linesPerReadRequest, 1);
    // The data end is remembered until the next feed, so after a sheet scan (or an earlier
    // calibration scan that drained the port) every read would return white fill without asking
    // the controller. A calibration scan holds the strip still and reads what the controller
    // delivers now, so an earlier scan's data end does not concern it.
    ctx.record.dataEnded = 0;
    if (!engine::ScanToEnd(ctx, ctx.calibration.fileName)) return false;
    TakeScanGeometry(ctx);
    return true;
}

void TakeScanGeometry(DriverContext& ctx) {
    ctx.calibration.colourMode = ctx.engine.parms.channelmode;
    ctx.calibration.bitsPerSample = ctx.engine.parms.bitsperchannel;
}

}  // namespace ordavel::calibration
