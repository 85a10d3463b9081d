// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/engine/scan_setup.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

bool SetupScanRes(DriverContext& ctx, bool, bool) {
    device::Report(ctx, "not supported by this build");
    return false;
}

void SetScanResolution(DriverContext&, description::RegisterImage&, int32_t, int32_t, int32_t) {
}

void CalculateScanRect(DriverContext&, description::RegisterImage*, const std::string&) {
}

bool DownloadCalibrationData(DriverContext& ctx) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool DownloadStoredShading(DriverContext& ctx) {
    device::Report(ctx, "not supported by this build");
    return false;
}

std::string MeasureTransferRate(DriverContext&, const char*, bool) {
    return {};
}

bool ScanToEnd(DriverContext& ctx, const std::string&) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool ReadBackScanGeometry(DriverContext& ctx) {
    device::Report(ctx, "not supported by this build");
    return false;
}

double DividerFactor(int32_t) {
    return 1.0;
}

}  // namespace ordavel::engine
