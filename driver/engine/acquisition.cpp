// ScanSome: one step of the acquisition state machine per call.
#include "driver/engine/acquisition.h"

#include "driver/engine/acquisition_steps.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine {

bool ScanSome(DriverContext& ctx, int32_t& done, bool stop) {
    AcquisitionState& a = ctx.engine.acquisition;
    // A step running the status callback marks itself inside; any call into the engine from the
    // callback clears the mark, and the interrupted step then stops without touching the state.
    a.insideStep = false;
    if (stop) {
        if (a.idle) {
            done = 1;
            return true;
        }
        return acquisition::Finish(ctx, done, true);
    }
    if (a.idle) return acquisition::Open(ctx, done);
    return acquisition::ReadStep(ctx, done);
}

}  // namespace ordavel::engine
