// The session's read path: one acquisition step per ScanRead into the caller's buffer, with the
// bookkeeping of the path that delivers the image enlarged by 3/2.
#include <algorithm>
#include <cstring>
#include <limits>

#include "driver/calibration/driver_file_lock.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition.h"
#include "driver/engine/enlargement.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/read_request.h"
#include "driver/interface/session.h"

namespace ordavel::interface {

namespace {

constexpr uint8_t kWhite = 0xFF;
constexpr const char* kNoRoom = "扫描宽度超界";

void ReportNoEnlargement(DriverContext& ctx, const ReadSettings& read) {
    device::Report(ctx, "Cannot deliver enlarged image: pixelType %d, imageWidth %d", read.pixelType, read.imageWidth);
}

void ReportEnlargeFailure(DriverContext& ctx, engine::EnlargeResult result, const ReadSettings& read) {
    switch (result) {
        case engine::EnlargeResult::NoRoom: device::Report(ctx, "%s", kNoRoom); break;
        case engine::EnlargeResult::OutOfMemory: device::Report(ctx, "内存不足!"); break;
        default: ReportNoEnlargement(ctx, read); break;
    }
}

// The width of the request's window, as the enlargement reads it (an inverted window has none).
int32_t WindowWidth(const ScanRequest& r) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{r.scanRectRight} - r.scanRectLeft, 0,
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

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

// A status callback that calls ScanRead while a read runs would have the inner call replace the
// outer call's destination, and the outer call would then count bytes that went to the inner
// caller's buffer. Decided here: the inner call is refused and touches nothing of the scan, which
// goes on as the outer call's (it is healthy; only the nested call was wrong).
int32_t Session::refuseReentry(DriverContext& ctx, int32_t* got) {
    if (got != nullptr) *got = 0;
    // The refusal's text calls the callback again; a callback that answers it with yet another
    // ScanRead is refused without a text, so the calls cannot nest without end.
    if (!refusingReentry_) {
        refusingReentry_ = true;
        device::Report(ctx, "ScanRead refused: called from the status callback during ScanRead");
        refusingReentry_ = false;
    }
    return 1;
}

int32_t Session::ReadWith(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got,
                          const ReadSteps& steps) {
    if (!scanning) return 1;
    if (reading) return refuseReentry(ctx, got);
    size = std::max(size, 0);  // a negative size holds nothing
    // Without a destination the line output can never hand a line over, and the acquisition
    // would wait for room for ever.
    if (got == nullptr || (buffer == nullptr && size > 0)) {
        if (got == nullptr) {
            device::Report(ctx, "ScanRead without a place for its byte count");
        } else {
            device::Report(ctx, "ScanRead without a destination for %d bytes", size);
        }
        if (got != nullptr) *got = 0;
        return failRead(ctx);
    }
    reading = true;
    const int32_t result = readStep(ctx, buffer, size, got, steps);
    reading = false;
    return result;
}

int32_t Session::readStep(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t* got,
                          const ReadSteps& steps) {
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
            ReportNoEnlargement(ctx, activeRead);
            return failRead(ctx);
        }
        plan = PlanSourceLines(size, outLine, ctx.engine.info.lineBytes, activeRead.imageHeight, linesDelivered);
        if (plan.tooSmall) {
            device::Report(ctx, "%s", kNoRoom);
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
        if (!enlarge(ctx, buffer, size, *got, end, plan.last, outLine, steps)) return failRead(ctx);
        linesDelivered += *got / outLine;
    }

    if (end) {
        endScan();
        return 2;
    }
    return 0;
}

// Enlarges the stored source lines in place; `got` goes from the stored to the delivered bytes.
bool Session::enlarge(DriverContext& ctx, uint8_t* buffer, int32_t size, int32_t& got, bool end, bool last,
                      int32_t outLine, const ReadSteps& steps) {
    const engine::EnlargementRequest request{activeRead.pixelType, ctx.engine.info.lineBytes, activeRead.imageWidth,
                                             activeRead.imageHeight, WindowWidth(ctx.engine.request)};
    int32_t bytes = got;
    const engine::EnlargeResult result =
        steps.enlarge({buffer, static_cast<std::size_t>(size)}, bytes, end, request, carry);
    if (result != engine::EnlargeResult::Enlarged) {
        ReportEnlargeFailure(ctx, result, activeRead);
        got = 0;
        return false;
    }
    got = bytes;
    if (last) {
        // The last request reports the image's remaining lines, however many the final
        // enlargement produced (the sheet's lines may run out first); never more than the
        // caller's buffer holds. Lines it did not produce are white, as missing lines of a
        // page are, rather than whatever the buffer held.
        const int32_t remaining = std::max(0, activeRead.imageHeight - linesDelivered);
        const int32_t claimed = outLine * std::min(remaining, size / outLine);
        if (claimed > bytes) std::memset(buffer + bytes, kWhite, static_cast<std::size_t>(claimed - bytes));
        got = claimed;
    }
    return true;
}

}  // namespace ordavel::interface
