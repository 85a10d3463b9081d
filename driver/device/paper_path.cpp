// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/device/paper_path.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

bool WaitForIdle(DriverContext& ctx) {
    Report(ctx, "not supported by this build");
    return false;
}

bool FeedPaper(DriverContext& ctx, bool) {
    Report(ctx, "not supported by this build");
    return false;
}

bool CheckPaperEmpty(DriverContext& ctx, int32_t&) {
    Report(ctx, "not supported by this build");
    return false;
}

}  // namespace ordavel::device
