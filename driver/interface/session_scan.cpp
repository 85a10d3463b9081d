// Session operations around a scan: parameters, start, stop and calibration.
#include <algorithm>
#include <new>

#include "driver/calibration/driver_file_lock.h"
#include "driver/description/description_loader.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition.h"
#include "driver/engine/request_bounds.h"
#include "driver/engine/scan_setup.h"
#include "driver/interface/driver_context.h"
#include "driver/interface/read_request.h"
#include "driver/interface/session.h"

namespace ordavel::interface {

namespace {
constexpr int32_t kMaxDeliveredLineBytes = 65536;
}  // namespace

int32_t Session::SetParams(DriverContext& ctx, const ScanRequest& params, ScanStatusCallback callback) {
    // These stick even when the call is refused below.
    pixelType = params.pixelType;
    res = params.res;
    imageWidth = params.imageWidth;
    imageHeight = params.imageHeight;
    ctx.record.statusCallback = callback;

    if (scanning) return 1;
    const PixelTypeEntry* entry = findPixelType(params.pixelType);
    if (entry == nullptr) return 1;
    if (std::find(entry->depths.begin(), entry->depths.end(), params.bitDepth) == entry->depths.end()) return 1;

    ctx.engine.request = params;
    calibration::DriverFileLock files;
    // A window off the bed is refused before the device is even opened. The set-up opens it and
    // closes it again whether or not it succeeds: a failed call leaves no connection behind.
    const bool ok = calibration::LockDriverFiles(ctx, platform::LockMode::Shared, files) &&
                    description::LoadScannerDescription(ctx) && engine::CheckRequestOnBed(ctx) &&
                    engine::SetupScanRes(ctx, false, false);
    device::Close(ctx);
    return ok ? 0 : 1;
}

// The enlarging path needs a delivered line length and room to carry one delivered line to
// the next read. Both are settled before any paper moves.
bool Session::prepareEnlargement(DriverContext& ctx) {
    if (activeRead.res == 0) return true;
    const int32_t outLine = DeliveredLineBytes(activeRead.pixelType, activeRead.imageWidth);
    // The session keeps the values of a refused ScanSetScanParams, so the width is bounded here
    // too: no bed at the highest resolution has delivered lines this long.
    if (outLine == 0 || outLine > kMaxDeliveredLineBytes) {
        // Left open by the design: a pixel type without a delivered line length (or a width of
        // zero or less) cannot be enlarged. The scan is refused here rather than dividing by
        // zero in the read path.
        device::Report(ctx, "Cannot deliver enlarged image: pixelType %d, imageWidth %d", activeRead.pixelType,
                       activeRead.imageWidth);
        return false;
    }
    // Delivered lines longer than the 2,600-byte pending line (grey widths above 2,600) are
    // served by sizing the pending line from the width instead of refusing them.
    try {
        if (carry.pendingLine.size() < static_cast<std::size_t>(outLine)) carry.pendingLine.resize(outLine, 0);
    } catch (const std::bad_alloc&) {
        device::Report(ctx, "内存不足!");
        return false;
    }
    return true;
}

int32_t Session::Start(DriverContext& ctx) {
    if (scanning) return 0;
    activeRead = ReadSettings{pixelType, res, imageWidth, imageHeight};
    endScan();
    calibration::DriverFileLock files;
    // The request may come from "Mirt.ini", which is not checked when it is read: it is checked
    // here, before anything moves.
    if (!calibration::LockDriverFiles(ctx, platform::LockMode::Shared, files) || !prepareEnlargement(ctx) ||
        !description::LoadScannerDescription(ctx) || !engine::CheckRequestOnBed(ctx) ||
        !engine::SetupScanRes(ctx, true, false)) {
        scanning = false;
        device::Close(ctx);
        return 1;
    }
    scanning = true;
    return 0;
}

// Whatever ends a scan also ends its read bookkeeping: no line count and no pending line may
// leak into the next scan.
void Session::endScan() {
    scanning = false;
    linesDelivered = 0;
    carry.pending = false;
    carry.enlargedLines = 0;
}

int32_t Session::Stop(DriverContext& ctx) {
    int32_t done = 0;
    engine::ScanSome(ctx, done, true);
    endScan();
    device::Close(ctx);
    return 0;
}

int32_t Session::Calibration(DriverContext& ctx) {
    // A calibration replaces the files every scan reads: it runs alone. It scans with the
    // request's resolution and sets up a scan of its window at the end.
    calibration::DriverFileLock files;
    if (scanning || !calibration::LockDriverFiles(ctx, platform::LockMode::Exclusive, files) ||
        !description::LoadScannerDescription(ctx) || !engine::CheckRequestOnBed(ctx) ||
        !engine::SetupScanRes(ctx, true, true)) {
        endScan();
        device::Close(ctx);
        return 1;
    }
    return 0;
}

}  // namespace ordavel::interface
