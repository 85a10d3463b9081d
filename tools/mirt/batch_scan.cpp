// The sheet loop.
#include "tools/mirt/batch_scan.h"

#include <algorithm>
#include <csignal>

#include "tools/common/driver_status.h"
#include "tools/common/scanner_setup.h"
#include "tools/mirt/exit_codes.h"
#include "tools/mirt/page_trim.h"
#include "tools/mirt/page_writer.h"

namespace mirt {

namespace {

// The driver calls back on our thread with no context of its own, so the page in progress is
// reachable from the callback through this one pointer while a batch runs.
struct CallbackTarget {
    DriverBinding* driver;
    ProgressBar* bar;
    ordavel::platform::StopRequest* stop;
    std::string label;
};
CallbackTarget* g_target = nullptr;

int32_t OnStatus(int32_t kind) {
    if (kind != 1 || g_target == nullptr) return 0;
    // A stop asked for cancels the scan at this progress point; the driver then ends the read.
    if (g_target->stop->waitFor(0)) return 1;
    ScanInfo info{};
    if (g_target->driver->ScanGetScanInfo(&info) != 0 || info.progressRange <= 0) return 0;
    g_target->bar->show(g_target->label, static_cast<int>(int64_t{100} * info.progressPos / info.progressRange));
    return 0;
}

int InterruptedCode(const ordavel::platform::StopRequest& stop) {
    return stop.signalNumber() > 0 ? 128 + stop.signalNumber() : kExitInterrupted;
}

class Batch {
public:
    Batch(DriverBinding& driver, const ScanOptions& options, PageSink& sink, ProgressBar& progress,
          ordavel::platform::StopRequest& stop, const BatchSay& say)
        : driver_(driver), options_(options), writer_(sink), progress_(progress), stop_(stop), say_(say) {}

    ScanOutcome run() {
        CallbackTarget target{&driver_, &progress_, &stop_, {}};
        g_target = &target;
        ScanOutcome outcome = loop(target);
        g_target = nullptr;
        progress_.finish();
        // Every page handed over is written (or its failure known) before the batch reports.
        const bool written = writer_.finish();
        outcome.allWritten = std::chrono::steady_clock::now();
        outcome.writerCpuSeconds = writer_.cpuSeconds();
        tellWritten();
        if (!written && outcome.exitCode == kExitOk) {
            outcome.exitCode = kExitOutput;
            outcome.message = writer_.error();
        } else if (!written) {
            outcome.unsaved.push_back(writer_.error());
        }
        return outcome;
    }

private:
    ScanOutcome loop(CallbackTarget& target) {
        ScanOutcome outcome;
        for (bool first = true;; first = false) {
            if (stop_.waitFor(0)) return interrupted(outcome, false);
            if (writer_.failed()) return outputFailure(outcome);
            if (!setRequest()) return driverFailure(outcome, false, driver_.statusText());
            target.label = "page " + std::to_string(outcome.pages + 1);
            PageImage page;
            bool empty = false;
            std::string failureText;
            if (!acquire(first, page, empty, failureText)) {
                if (stop_.waitFor(0)) return interrupted(outcome, true);
                outcome.unsaved.push_back("page " + std::to_string(outcome.pages + 1) +
                                          " was not saved: its scan did not complete");
                return driverFailure(outcome, true, failureText);
            }
            if (empty) {
                driver_.ScanStop();
                if (outcome.pages == 0) {
                    outcome.exitCode = kExitNoPaper;
                    outcome.message = "the feeder is empty: no sheet to scan";
                }
                return outcome;
            }
            progress_.show(target.label, 100);
            progress_.finish();
            if (options_.trim) TrimWhiteBelowSheet(page);
            // The scanned sheet is fed on even after a single sheet, as the scan-to-file client
            // does: otherwise its tail stays in the paper path and the next program to scan would
            // begin with the rest of it instead of the next sheet. The page is handed to the
            // writer only after that feed: a sheet that stopped under the scan line looks to the
            // scan like one still moving, and only the feed finds it jammed.
            if (driver_.ScanFeedPaper() != 0) {
                // The input that reads "cover open" also reads the end of the stack.
                DriverStatus status = FeederEmptyOrCoverOpen(DescribeDriverStatus(driver_.statusText()));
                if (status.statusClass == StatusClass::PaperJam) {
                    page.jammed = true;
                    outcome.unsaved.push_back("page " + std::to_string(outcome.pages + 1) +
                                              " was not saved as a good page: its sheet (or the next) jammed in "
                                              "the feed after it; one-file-per-page formats keep it as *-jammed");
                }
                const bool jammed = page.jammed;
                writer_.push(std::move(page));
                if (!jammed) ++outcome.pages;
                return failure(outcome, true, status);
            }
            if (!writer_.push(std::move(page))) return outputFailure(outcome);
            if (outcome.pages == 0) outcome.firstPageHanded = std::chrono::steady_clock::now();
            ++outcome.pages;
            tellWritten();
            if (options_.singleSheet) {
                driver_.ScanStop();
                return outcome;
            }
            int32_t noPaper = 1;
            if (driver_.ScanPaperEmpty(&noPaper) != 0) return driverFailure(outcome, true, driver_.statusText());
            if (noPaper != 0) {
                driver_.ScanStop();
                return outcome;
            }
        }
    }

    // The request for one sheet, as the scan-to-file client sets it: in scan order first (the
    // geometry is checked and computed), then in bitmap order for the sheet itself.
    bool setRequest() {
        ScanRequest request{};
        if (driver_.ScanGetScanParams(&request) != 0) return false;
        const page_area::BedWindow window =
            options_.dpi == 300 ? page_area::EvenForEnlargement(options_.window) : options_.window;
        request = page_area::DriverRequest(request, window, options_.lineart, options_.dpi);
        request.lineOrder = 0;
        if (driver_.ScanSetScanParams(&request, OnStatus) != 0) return false;
        if (driver_.ScanGetScanParams(&request) != 0) return false;
        request.lineOrder = 1;
        return driver_.ScanSetScanParams(&request, OnStatus) == 0;
    }

    // One page: start (the first sheet of a batch is checked for and fed in its own
    // connection when it waits at the entrance), then read until the page is complete.
    bool acquire(bool first, PageImage& page, bool& empty, std::string& failureText) {
        ScanInfo info{};
        ScanRequest request{};
        driver_.ScanGetScanInfo(&info);
        driver_.ScanGetScanParams(&request);
        page.bitsPerPixel = request.pixelType == 0 ? 1 : 8;
        page.width = request.res != 0 ? request.imageWidth : request.scanRectRight - request.scanRectLeft;
        page.height = request.res != 0 ? request.imageHeight : request.scanRectBottom - request.scanRectTop;
        page.rowBytes = PageImage::RowBytesFor(page.width, page.bitsPerPixel);
        page.dpi = options_.dpi;
        const int64_t imageBytes = int64_t{page.height} * page.rowBytes;
        if (imageBytes <= 0 || imageBytes > INT32_MAX) {
            failureText = "Scan window outside the bed";
            return false;
        }
        if (first) {
            const FirstSheetOutcome start = StartFirstSheet(driver_, options_.firstSheet);
            if (start.start == FirstSheetStart::Failed) {
                failureText = start.statusText;
                return false;
            }
            if (start.start == FirstSheetStart::NoSheet) {
                empty = true;
                return true;
            }
        } else if (driver_.ScanStart() != 0) {
            failureText = driver_.statusText();
            return false;
        }
        // The rows arrive top first, as the page was fed.
        page.pixels.assign(static_cast<std::size_t>(imageBytes), 0xFF);
        int32_t offset = 0;
        const auto total = static_cast<int32_t>(imageBytes);
        while (offset < total) {
            int32_t got = 0;
            const int32_t ask = std::min<int32_t>(65536, total - offset);
            const int32_t result = driver_.ScanRead(page.pixels.data() + offset, ask, &got);
            if (result != 0 && result != 2) {
                failureText = driver_.statusText();
                return false;
            }
            offset += std::clamp<int32_t>(got, 0, ask);
            if (result == 2) break;
        }
        return true;
    }

    void tellWritten() {
        for (const std::string& file : writer_.takeWritten()) say_(file);
    }

    ScanOutcome failure(ScanOutcome outcome, bool stop, const DriverStatus& status) {
        if (stop) driver_.ScanStop();
        const DriverStatus refined = RefineWithCalibration(status, DriverTempDirectory());
        outcome.exitCode = ExitCodeFor(refined.statusClass);
        if (outcome.exitCode == kExitOk) outcome.exitCode = kExitDriverFailure;
        outcome.message = refined.message();
        if (refined.statusClass == StatusClass::NotCalibrated || refined.statusClass == StatusClass::CalibrationDamaged) {
            outcome.message += ": insert the calibration sheet and run `mirt calibrate`";
        }
        return outcome;
    }

    ScanOutcome driverFailure(ScanOutcome outcome, bool stop, const std::string& text) {
        return failure(std::move(outcome), stop, DescribeDriverStatus(text));
    }

    ScanOutcome interrupted(ScanOutcome outcome, bool duringPage) {
        driver_.ScanStop();
        outcome.exitCode = InterruptedCode(stop_);
        outcome.message = stop_.signalNumber() == SIGTERM ? "terminated" : "interrupted";
        if (duringPage) {
            outcome.message += ": the scanner was stopped and page " + std::to_string(outcome.pages + 1) +
                               " was not saved";
        }
        return outcome;
    }

    ScanOutcome outputFailure(ScanOutcome outcome) {
        driver_.ScanStop();
        outcome.exitCode = kExitOutput;
        outcome.message = writer_.error();
        return outcome;
    }

    DriverBinding& driver_;
    const ScanOptions& options_;
    PageWriter writer_;
    ProgressBar& progress_;
    ordavel::platform::StopRequest& stop_;
    const BatchSay& say_;
};

}  // namespace

ScanOutcome ScanBatch(DriverBinding& driver, const ScanOptions& options, PageSink& sink, ProgressBar& progress,
                      ordavel::platform::StopRequest& stop, const BatchSay& sayWritten) {
    return Batch(driver, options, sink, progress, stop, sayWritten).run();
}

}  // namespace mirt
