// The bounded wait on the controller.
#include "driver/engine/controller_wait.h"

#include "driver/device/paper_path.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

ControllerWait::ControllerWait(DriverContext& ctx) : ctx_(ctx), start_(ctx.clock().tickCount()) {
    // A minute where the description gives no speed, and never longer: a description with an
    // absurdly slow motor would otherwise make the wait as good as endless.
    constexpr uint32_t kLongestWaitMs = 60'000;
    const uint32_t limitMs = device::IdleTimeLimitMs(ctx.description);
    limit_ = limitMs != 0 && limitMs < kLongestWaitMs ? limitMs : kLongestWaitMs;
}

bool ControllerWait::goesOn() {
    // Elapsed time by unsigned difference, so the wait keeps its length across the tick count's wrap.
    if (ctx_.clock().tickCount() - start_ < limit_) return true;
    device::Report(ctx_, device::kCommunicationFailedText);
    return false;
}

}  // namespace ordavel::engine::acquisition
