// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/description/description_loader.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

bool LoadScannerDescription(DriverContext& ctx) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool ParseScannerFile(DriverContext& ctx, const std::string&, const ScanRequest&) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool ParseIntValue(const char*, int32_t&) {
    return false;
}

bool ParseFloatValue(const char*, double&) {
    return false;
}

}  // namespace ordavel::description
