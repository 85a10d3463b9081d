// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/description/gamma_tables.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

bool LoadGammaTables(DriverContext& ctx, int32_t) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool WriteDefaultGammaFile(std::FILE*) {
    return false;
}

bool DownloadGammaFile(DriverContext& ctx, std::FILE*) {
    device::Report(ctx, "not supported by this build");
    return false;
}

}  // namespace ordavel::description
