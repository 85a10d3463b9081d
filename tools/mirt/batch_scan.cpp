// The sheet loop.
#include "tools/mirt/batch_scan.h"

#include <algorithm>
#include <filesystem>

#include "tools/mirt/exit_codes.h"
#include "tools/common/scanner_setup.h"

namespace mirt {

namespace {

// The driver calls back on our thread with no context of its own, so the page in progress is
// reachable from the callback through this one pointer while a batch runs.
struct ProgressTarget {
    DriverBinding* driver;
    ProgressBar* bar;
    std::string label;
};
ProgressTarget* g_progress = nullptr;

int32_t OnStatus(int32_t kind) {
    if (kind != 1 || g_progress == nullptr) return 0;
    ScanInfo info{};
    if (g_progress->driver->ScanGetScanInfo(&info) != 0 || info.progressRange <= 0) return 0;
    const int percent = static_cast<int>(int64_t{100} * info.progressPos / info.progressRange);
    g_progress->bar->show(g_progress->label, percent);
    return 0;
}

struct PageLayout {
    int32_t width;
    int32_t height;
    int32_t bits;
    int32_t rowBytes;
    int32_t imageBytes;
};

PageLayout LayoutFor(const ScanRequest& r, const ScanInfo& info) {
    PageLayout layout{};
    layout.bits = r.pixelType == 0 ? 1 : 8;
    layout.width = r.res != 0 ? r.imageWidth : r.scanRectRight - r.scanRectLeft;
    layout.height = r.res != 0 ? r.imageHeight : r.scanRectBottom - r.scanRectTop;
    layout.rowBytes = PageImage::RowBytesFor(layout.width, layout.bits);
    layout.imageBytes = r.res != 0 ? layout.height * layout.rowBytes : info.totalBytes;
    return layout;
}

ScanOutcome Fail(DriverBinding& driver, ScanOutcome outcome, bool stop, const std::string& earlierText = {}) {
    std::string status = earlierText.empty() ? driver.statusText() : earlierText;
    if (stop) driver.ScanStop();
    outcome.exitCode = ExitCodeForStatus(status.c_str(), DriverTempDirectory());
    outcome.message = status.empty() ? "the driver reported a failure" : status;
    return outcome;
}

class Batch {
public:
    Batch(DriverBinding& driver, const ScanOptions& options, ProgressBar& progress)
        : driver_(driver), options_(options), progress_(progress) {}

    ScanOutcome run() {
        std::error_code ec;
        std::filesystem::create_directories(options_.outputDirectory, ec);
        ProgressTarget target{&driver_, &progress_, {}};
        g_progress = &target;
        ScanOutcome outcome = loop(target);
        g_progress = nullptr;
        progress_.finish();
        return outcome;
    }

private:
    ScanOutcome loop(ProgressTarget& target) {
        ScanOutcome outcome;
        for (bool first = true;; first = false) {
            ScanRequest request{};
            if (driver_.ScanGetScanParams(&request) != 0) return Fail(driver_, outcome, false);
            request = SheetRequest(request, options_);
            request.lineOrder = 0;
            if (driver_.ScanSetScanParams(&request, OnStatus) != 0) return Fail(driver_, outcome, false);

            target.label = "page " + std::to_string(outcome.pages + 1);
            bool empty = false;
            PageImage page;
            if (!acquire(first, page, empty)) return Fail(driver_, outcome, true, firstFailure_);
            if (empty) {
                driver_.ScanStop();
                return outcome;
            }
            progress_.show(target.label, 100);
            progress_.finish();
            const std::string name = PageFileName(options_.prefix, outcome.pages + 1, options_.format);
            const std::string path = (std::filesystem::path(options_.outputDirectory) / name).string();
            std::string error;
            if (!WritePageFile(page, path, options_.format, error)) {
                driver_.ScanStop();
                outcome.exitCode = kExitOutput;
                outcome.message = error;
                return outcome;
            }
            ++outcome.pages;
            // The scanned sheet is fed on even after a single sheet, as the scan-to-file client
            // does: otherwise its tail stays in the paper path and the next program to scan would
            // begin with the rest of it instead of the next sheet.
            if (driver_.ScanFeedPaper() != 0) return Fail(driver_, outcome, true);
            if (options_.singleSheet) {
                driver_.ScanStop();
                return outcome;
            }
            int32_t noPaper = 1;
            if (driver_.ScanPaperEmpty(&noPaper) != 0) return Fail(driver_, outcome, true);
            if (noPaper != 0) {
                driver_.ScanStop();
                return outcome;
            }
        }
    }

    // One page: bitmap order requested right before the sheet, start, then read until complete.
    // The first sheet of a batch is checked for inside the open connection, so an empty feeder
    // ends the batch without a blank page.
    bool acquire(bool first, PageImage& page, bool& empty) {
        ScanRequest request{};
        if (driver_.ScanGetScanParams(&request) != 0) return false;
        request.lineOrder = 1;
        if (driver_.ScanSetScanParams(&request, OnStatus) != 0) return false;
        ScanInfo info{};
        driver_.ScanGetScanInfo(&info);
        driver_.ScanGetScanParams(&request);
        const PageLayout layout = LayoutFor(request, info);
        if (layout.imageBytes <= 0 || layout.height <= 0) return false;

        if (first) {
            const FirstSheetOutcome start = StartFirstSheet(driver_, options_.firstSheet);
            firstFailure_ = start.statusText;
            if (start.start == FirstSheetStart::Failed) return false;
            if (start.start == FirstSheetStart::NoSheet) {
                empty = true;
                return true;
            }
        } else if (driver_.ScanStart() != 0) {
            return false;
        }

        page.width = layout.width;
        page.height = layout.height;
        page.bitsPerPixel = layout.bits;
        page.rowBytes = layout.rowBytes;
        page.pixels.assign(static_cast<std::size_t>(layout.imageBytes), 0);
        int32_t offset = 0;
        while (offset < layout.imageBytes) {
            int32_t got = 0;
            const int32_t ask = std::min<int32_t>(65536, layout.imageBytes - offset);
            const int32_t result = driver_.ScanRead(page.pixels.data() + offset, ask, &got);
            if (result == 1 || result == 3) return false;
            offset += std::max<int32_t>(got, 0);
            if (result == 2) break;
        }
        return true;
    }

    DriverBinding& driver_;
    const ScanOptions& options_;
    ProgressBar& progress_;
    std::string firstFailure_;  // the driver's text of a failure before the first sheet's scan
};

}  // namespace

ScanRequest SheetRequest(const ScanRequest& current, const ScanOptions& options) {
    ScanRequest r = current;
    r.bedLeft = 0;
    r.bedTop = 0;
    r.bedRight = 1680;
    r.bedBottom = 2340;
    r.scanRectLeft = options.wideWindow ? 130 : 284;
    r.scanRectTop = 0;
    r.scanRectRight = options.wideWindow ? 1550 : 1384;
    r.scanRectBottom = 1892;
    r.pixelType = options.blackAndWhite ? 0 : 1;
    r.bitDepth = options.blackAndWhite ? 1 : 8;
    r.xResolution = 200;
    r.yResolution = 200;
    r.interpolate = 0;
    r.reserved2 = 0;
    r.res = options.dpi == 300 ? 1 : 0;
    r.imageWidth = options.wideWindow ? 2130 : 1650;
    r.imageHeight = 2838;
    return r;
}

ScanOutcome ScanBatch(DriverBinding& driver, const ScanOptions& options, ProgressBar& progress) {
    return Batch(driver, options, progress).run();
}

}  // namespace mirt
