// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/engine/acquisition.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

bool ScanSome(DriverContext& ctx, int32_t&, bool) {
    device::Report(ctx, "not supported by this build");
    return false;
}

}  // namespace ordavel::engine
