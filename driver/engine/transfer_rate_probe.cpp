// The transfer-rate probe: a short scan set up (and, when calibrating, run to its end) before
// the real job, and running a job's acquisition to its end.
#include <string>

#include "driver/engine/acquisition.h"
#include "driver/engine/scan_setup.h"
#include "driver/engine/setup_state.h"
#include "driver/engine/work_file_job.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

namespace {

std::string WorkFilePath(const DriverContext& ctx, const std::string& baseName) {
    return ctx.TempFilePath(baseName + ".pxl");
}

}  // namespace

std::string MeasureTransferRate(DriverContext& ctx, const char* baseName, bool calibrate) {
    SetupState& setup = ctx.engine.setup;
    const bool nested = setup.probeToggle;
    setup.probeToggle = !setup.probeToggle;
    // The call from inside the probe's own set-up: that set-up is the probe.
    if (nested) return WorkFilePath(ctx, kProbeBaseName);

    SetStartStamps(ctx.engine.info, ctx.clock().tickCount());
    const bool probeReady = SetupScanRes(ctx, true, calibrate);
    // A nested set-up that failed before reaching the probe leaves the toggle set; the next
    // set-up would then take the probe's file for its own job. The probe is over either way.
    setup.probeToggle = false;
    if (!probeReady) return {};
    if (calibrate && !ScanToEnd(ctx, WorkFilePath(ctx, kProbeBaseName))) return {};
    return WorkFilePath(ctx, baseName);
}

bool ScanToEnd(DriverContext& ctx, const std::string& workFile) {
    ctx.engine.setup.workFile = workFile;
    int32_t done = 0;
    while (done == 0) {
        if (!ScanSome(ctx, done, false)) return false;
    }
    return true;
}

}  // namespace ordavel::engine
