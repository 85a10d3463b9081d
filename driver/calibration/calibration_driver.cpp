// The calibration driver: coarse gain and offset, then black and white fine calibration with
// their shading downloads.
#include "driver/calibration/black_shading_file.h"
#include "driver/calibration/calibration.h"
#include "driver/calibration/calibration_set.h"
#include "driver/calibration/calibration_trace.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

namespace {

int Calibrate(DriverContext& ctx, int32_t scanMode) {
    CalibrationState& state = ctx.calibration;
    description::RegisterImage image;  // private to this calibration, shared by its steps
    if (DoCoarseCalibration(ctx, scanMode, image) == 0) {
        device::WriteRegister(ctx, 0x45, 0x13);
        return 0;
    }
    if (ctx.description.Black_Fine_Calibration != 0) {
        state.blackStripEndedEarly = false;
        if (DoFineCalibration(ctx, scanMode, image, "BlackFine") == 0) return 0;
        state.blackShadingValid = !state.blackStripEndedEarly;
    } else {
        state.blackShadingValid = false;
    }
    if (!DownloadShadingTables(ctx, "BlackFine")) return 0;
    // Later scans, in this process and in new ones, reload the offset table from the first line
    // of "BlackFINE.PXL". Without a measured black strip that file would be missing (with
    // Black_Fine_Calibration "No": every later scan set-up fails to open it) or hold a strip that
    // was not dark or is stale; it is rewritten to hold the table the controller was just given.
    if (!state.blackShadingValid && !WriteChannelMinimumBlackFile(ctx)) return 0;
    if (DoFineCalibration(ctx, scanMode, image, "WhiteFine") == 0) return 0;
    if (!DownloadShadingTables(ctx, "WhiteFine")) return 0;
    return 1;
}

}  // namespace

int DoCalibration(DriverContext& ctx, int32_t scanMode) {
    Trace("Start Docalibration");
    // The files and keys of this calibration are staged; the caller puts them in place as one
    // set once everything has succeeded (calibration_set.h). A failure removes them, so the
    // earlier calibration stays in use.
    BeginCalibrationSet(ctx);
    if (Calibrate(ctx, scanMode) == 0) {
        DiscardCalibrationSet(ctx);
        return 0;
    }
    Trace("End DoCalibration");
    return 1;
}

}  // namespace ordavel::calibration
