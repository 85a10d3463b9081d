// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/calibration/calibration.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::calibration {

int DoCalibration(DriverContext& ctx, int32_t) {
    device::Report(ctx, "not supported by this build");
    return 0;
}

int DoCoarseCalibration(DriverContext& ctx, int32_t, description::RegisterImage&) {
    device::Report(ctx, "not supported by this build");
    return 0;
}

int DoFineCalibration(DriverContext& ctx, int32_t, description::RegisterImage&, const char*) {
    device::Report(ctx, "not supported by this build");
    return 0;
}

int AnalyseCalibrationScan(DriverContext& ctx, const std::string&, const char*, int32_t&, int32_t) {
    device::Report(ctx, "not supported by this build");
    return 0;
}

void DownloadShadingTables(DriverContext&, const char*) {
}

}  // namespace ordavel::calibration
