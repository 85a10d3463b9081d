// The session's read path: one acquisition step per ScanRead into the caller's buffer, with the
// bookkeeping of the path that delivers the image enlarged by 3/2.
#include <algorithm>

#include "driver/calibration/driver_file_lock.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition.h"
#include "driver/engine/enlargement.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/read_request.h"
#include "driver/interface/session.h"

namespace ordavel::interface {

ReadSteps EngineReadSteps() {
    return ReadSteps{[](DriverContext& ctx, int32_t& done) { return engine::ScanSome(ctx, done, false); },
                     &engine::EnlargeThreeHalves};
}

int32_t Session::Read(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got) {
    // A read step may load the stored calibration and writes the work file.
    calibration::DriverFileLock files;
    if (scanning && !calibration::LockDriverFiles(ctx, platform::LockMode::Shared, files)) {
        if (got != nullptr) *got = 0;
        return failRead(ctx);
    }
    return ReadWith(ctx, buffer, size, got, EngineReadSteps());
}

int32_t Session::failRead(DriverContext& ctx) {
    endScan();
    device::Close(ctx);
    return 1;
}

int32_t Session::ReadWith(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got,
                          const ReadSteps& steps) {
    if (!scanning) return 1;
    size = std::max(size, 0);  // a negative size holds nothing
    engine::Destination& dest = ctx.engine.destination;
    dest.buffer = buffer;
    dest.capacity = size;
    dest.delivered = 0;
    *got = 0;

    const bool enlarging = activeRead.res != 0;
    int32_t outLine = 0;
    SourceRequest plan;
    if (enlarging) {
        outLine = DeliveredLineBytes(activeRead.pixelType, activeRead.imageWidth);
        if (outLine == 0) {
            device::Report(ctx, "Cannot deliver enlarged image: pixelType %d, imageWidth %d",
                           activeRead.pixelType, activeRead.imageWidth);
            return failRead(ctx);
        }
        plan = PlanSourceLines(size, outLine, activeRead.imageHeight, linesDelivered);
        if (plan.tooSmall) {
            device::Report(ctx, "扫描宽度超界");
            return failRead(ctx);
        }
        // Never let the acquisition store more than the caller's buffer holds.
        const int64_t request = int64_t{ctx.engine.info.lineBytes} * plan.sourceLines;
        dest.capacity = static_cast<int32_t>(std::clamp<int64_t>(request, 0, size));
    }

    int32_t done = 0;
    const bool acquired = steps.acquire(ctx, done);
    *got = dest.delivered;
    // After a failed step nothing else runs, so the failing step's status text stays the one
    // the client reads.
    if (!acquired) return failRead(ctx);
    bool end = done != 0;

    if (enlarging) {
        if (plan.last) end = true;
        const engine::EnlargementRequest request{activeRead.pixelType, ctx.engine.info.lineBytes,
                                                 activeRead.imageWidth, activeRead.imageHeight,
                                                 ctx.engine.request.scanRectRight - ctx.engine.request.scanRectLeft};
        int32_t bytes = *got;
        if (!steps.enlarge(buffer, bytes, end, request, carry)) return failRead(ctx);
        *got = bytes;
        if (plan.last) {
            // The last request reports the image's remaining lines, however many the final
            // enlargement produced; never more than the caller's buffer holds.
            const int32_t remaining = std::max(0, activeRead.imageHeight - linesDelivered);
            *got = outLine * std::min(remaining, size / outLine);
        }
        linesDelivered += *got / outLine;
    }

    if (end) {
        endScan();
        return 2;
    }
    return 0;
}

}  // namespace ordavel::interface
