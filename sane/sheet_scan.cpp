// The sheet loop on the driver's exports: each sane_start scans one sheet of the feeder, in the
// calling order the driver's clients use (parameters, start, read until complete, feed, look
// for paper).
#include <algorithm>
#include <cstring>

#include "sane/backend.h"
#include "sane/page_rows.h"
#include "sane/sane_status.h"
#include "tools/common/first_sheet.h"
#include "tools/common/scanner_setup.h"
#include "tools/common/tone_setting.h"

namespace mirt::sane_backend {

int32_t Backend::onDriverStatus(int32_t kind) { return kind == 1 && cancelRequested_.load() ? 1 : 0; }

bool Backend::setRequest(const ScanWindow& window) {
    ScanRequest r{};
    if (driver_->ScanGetScanParams(&r) != 0) return false;
    r = page_area::DriverRequest(r, window.bed, window.lineart, window.resolution);
    r.lineOrder = 0;  // top row first, as SANE delivers
    return driver_->ScanSetScanParams(&r, driverCallback_) == 0;
}

bool Backend::useToneCurve(std::string& error) {
    // The same curve, and the same line-art threshold rule, as the other front ends'; brightness
    // is inactive in line art, where the threshold moves the cut instead.
    ToneSetting setting;
    setting.brightness = window_.lineart ? 0 : window_.brightness;
    setting.contrast = window_.contrast;
    setting.threshold = window_.threshold;
    return UseToneCurve(tempDir_, setting, window_.lineart, error);
}

void Backend::endSession() {
    if (sessionOpen_ && driver_) driver_->ScanStop();
    if (sessionOpen_) StopUsingToneCurve(tempDir_);
    sessionOpen_ = false;
    scanning_ = false;
    frame_.clear();
    frame_.shrink_to_fit();
    frameOffset_ = 0;
}

void Backend::cancel() {
    cancelRequested_ = true;
    if (busy_.load()) return;  // the running call sees the flag and stops the scanner itself
    finishCancel();
}

void Backend::finishCancel() {
    // Stops the scanner and leaves it ready: a sheet is never left half way through the rollers
    // (each sheet is fed on once it is read), so the next sane_start begins with the next sheet.
    if (sessionOpen_ || scanning_) endSession();
}

SANE_Status Backend::start() {
    BusyScope busy(busy_);
    if (!open_ || !driver_) return SANE_STATUS_INVAL;
    if (scanning_) {
        // The frontend starts the next sheet before reading this frame to its end: that frame
        // is given up, the sheet has been scanned and fed on already.
        scanning_ = false;
        frame_.clear();
    }
    // A cancel that came while another call ran is finished before the next sheet.
    if (cancelRequested_.exchange(false)) finishCancel();
    if (pendingFailure_ != SANE_STATUS_GOOD) {
        // The feed after the last sheet failed: the batch ends here, with its cause.
        const SANE_Status status = pendingFailure_;
        pendingFailure_ = SANE_STATUS_GOOD;
        sheetPositioned_ = false;
        endSession();
        return status;
    }
    if (!calibrated()) return explainNotCalibrated();
    const SANE_Status prepared = prepareSheet();
    if (prepared != SANE_STATUS_GOOD) return prepared;
    return acquireSheet();
}

SANE_Status Backend::prepareSheet() {
    window_ = options_.window();
    // The curve follows the options of this sheet (a frontend may change them between sheets).
    std::string curveError;
    if (!useToneCurve(curveError)) {
        log_.say(LogLevel::User, curveError);
        return SANE_STATUS_IO_ERROR;
    }
    if (!setRequest(window_)) return failure("setting up the scan");
    if (!sheetPositioned_) {
        // Where the first sheet waits is read from the paper sensors: one at the entrance is
        // fed in a connection of its own before its scan starts.
        const FirstSheetOutcome first = StartFirstSheet(*driver_, FirstSheetPlaceOf(device_.virtualConfig));
        if (first.start == FirstSheetStart::Failed) return failure("bringing in the first sheet", first.statusText);
        if (first.start == FirstSheetStart::NoSheet) {
            log_.say(LogLevel::Info, "no sheet in the feeder");
            StopUsingToneCurve(tempDir_);
            return SANE_STATUS_NO_DOCS;
        }
        sessionOpen_ = true;
        sheetPositioned_ = true;
        return SANE_STATUS_GOOD;
    }
    if (driver_->ScanStart() != 0) return failure("starting the scanner");
    sessionOpen_ = true;
    int32_t empty = 1;
    if (driver_->ScanPaperEmpty(&empty) != 0) return failure("checking for paper");
    log_.say(LogLevel::Info, std::string(empty != 0 ? "no sheet" : "a sheet") + " at the paper sensors (" +
                                 driver_->statusText() + ")");
    if (empty != 0) {
        sheetPositioned_ = false;
        endSession();
        return SANE_STATUS_NO_DOCS;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::acquireSheet() {
    ScanRequest r{};
    if (driver_->ScanGetScanParams(&r) != 0) return failure("setting up the scan");
    DriverPage page;
    page.lineart = r.pixelType == 0;
    page.width = r.res != 0 ? r.imageWidth : r.scanRectRight - r.scanRectLeft;
    page.height = r.res != 0 ? r.imageHeight : r.scanRectBottom - r.scanRectTop;
    const int64_t bytes = int64_t{DriverRowBytes(page.width, page.lineart)} * page.height;
    if (page.width <= 0 || page.height <= 0 || bytes <= 0 || bytes > (int64_t{1} << 30)) {
        return failure("sizing the page");
    }
    // The whole sheet is read while sane_start runs: the driver's reads block until the scanner
    // has the lines, and a sheet in the rollers must be taken through in one go anyway.
    page.rows.assign(static_cast<std::size_t>(bytes), 0);
    int64_t offset = 0;
    while (offset < bytes) {
        int32_t got = 0;
        const int32_t ask = static_cast<int32_t>(std::min<int64_t>(65536, bytes - offset));
        const int32_t result = driver_->ScanRead(page.rows.data() + offset, ask, &got);
        if (cancelRequested_.load()) {
            ejectAfterCancel();
            return SANE_STATUS_CANCELLED;
        }
        if (result != 0 && result != 2) return failure("reading the sheet");
        offset += std::clamp<int32_t>(got, 0, ask);
        if (result == 2) break;
    }
    if (const SANE_Status fed = feedScannedSheetOn(); fed != SANE_STATUS_GOOD) return fed;
    frame_ = ToSaneFrame(page, window_.pixelsPerLine(), window_.lines());
    frameOffset_ = 0;
    scanning_ = true;
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::feedScannedSheetOn() {
    // The scanned sheet leaves the rollers and the next one (if any) takes its place now, not at
    // the next sane_start: a frontend that scans one page and ends leaves no sheet half way
    // through the scanner for the next program.
    if (driver_->ScanFeedPaper() == 0) {
        log_.say(LogLevel::Info, "the scanned sheet is fed on (" + driver_->statusText() + ")");
        sheetPositioned_ = true;
        return SANE_STATUS_GOOD;
    }
    sheetPositioned_ = false;
    const DriverStatus cause = driverStatus(driver_->statusText());
    log_.say(LogLevel::Error, "feeding the scanned sheet on: " + cause.message());
    if (cause.statusClass == StatusClass::PaperJam) {
        // Decided here: a jam found as the sheet should leave the rollers fails this sheet. The
        // paper stopped somewhere during or after its scan, and a sheet that stood still under
        // the scan line gives a smeared image that looks whole; the frontend removes the page.
        endSession();
        return SANE_STATUS_JAMMED;
    }
    // The sheet was read whole before the feed; the next sane_start reports the failure. The
    // feed's "cover open" is the tray input, which also reads so when the stack has run out:
    // with no sheet at the paper sensors the batch simply ends.
    SANE_Status status = SaneStatusFor(cause.statusClass);
    if (cause.statusClass == StatusClass::CoverOpen) {
        int32_t empty = 0;
        if (driver_->ScanPaperEmpty(&empty) == 0 && empty != 0) status = SANE_STATUS_NO_DOCS;
    }
    pendingFailure_ = status;
    return SANE_STATUS_GOOD;
}

void Backend::ejectAfterCancel() {
    // The driver has stopped the sheet where it was and closed the connection; a new one feeds
    // the sheet out, so that the scanner is ready with the next sheet.
    log_.say(LogLevel::Info, "cancelled: feeding the sheet out");
    endSession();
    sheetPositioned_ = false;
    if (!setRequest(window_) || driver_->ScanStart() != 0) {
        log_.say(LogLevel::Error, "cancelled: cannot feed the sheet out: " + driver_->statusText());
        return;
    }
    sessionOpen_ = true;
    if (driver_->ScanFeedPaper() == 0) {
        sheetPositioned_ = true;
    } else {
        log_.say(LogLevel::Error, "cancelled: cannot feed the sheet out: " + driver_->statusText());
    }
    endSession();
}

SANE_Status Backend::read(SANE_Byte* data, SANE_Int max, SANE_Int* length) {
    BusyScope busy(busy_);
    if (length != nullptr) *length = 0;
    if (data == nullptr || length == nullptr || max < 0) return SANE_STATUS_INVAL;
    if (cancelRequested_.load()) {
        finishCancel();
        return SANE_STATUS_CANCELLED;
    }
    if (!scanning_) return SANE_STATUS_EOF;
    if (frameOffset_ >= frame_.size()) {
        // The frame is done; the session stays open for the next sheet of the batch.
        scanning_ = false;
        frame_.clear();
        return SANE_STATUS_EOF;
    }
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(max), frame_.size() - frameOffset_);
    std::memcpy(data, frame_.data() + frameOffset_, n);
    frameOffset_ += n;
    *length = static_cast<SANE_Int>(n);
    return SANE_STATUS_GOOD;
}

}  // namespace mirt::sane_backend
