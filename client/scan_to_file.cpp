// The scan-to-file call.
#include "client/scan_to_file.h"

#include <cstdio>

#include "client/bitmap_file.h"
#include "client/monitor_handshake.h"
#include "client/page_acquisition.h"
#include "platform/message_box.h"
#include "platform/monitor_presence.h"
#include "platform/profile.h"
#include "platform/temp_dir.h"
#include "platform/work_files.h"

namespace mirt::client {

namespace {

constexpr const char* kCaptionStart = "第 ";
constexpr const char* kCaptionEnd = "页";
constexpr const char* kTransferMode = "传输模式 :   Native";

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != ordavel::platform::kPathSeparator) path += ordavel::platform::kPathSeparator;
    return path;
}

// The output folder takes a new file. The probe gets a name of its own, so a file the user
// keeps in the folder is never overwritten or deleted by the check.
bool DirectoryWritable(const std::string& directory) {
    const std::string probe = ordavel::platform::UniqueTemporaryFile(WithSeparator(directory), "del.tmp.");
    if (probe.empty()) return false;
    std::remove(probe.c_str());
    return true;
}

bool InRange(int32_t value, int32_t low, int32_t high) { return value >= low && value <= high; }

bool ArgumentsValid(const PimletAdjustments& a, const PimletScanRequest& r) {
    return (r.bitDepth == 8 || r.bitDepth == 1) && (r.resolution == 300 || r.resolution == 200) &&
           InRange(a.brightness, -255, 255) && InRange(a.contrast, -255, 255) && InRange(a.highlight, -255, 255) &&
           InRange(a.shadow, -255, 255) && InRange(a.gamma, 1, 40);
}

int ResultOfPaperLoaded(int32_t loaded) {
    switch (loaded) {
        case 1: return PIMLET_OK;
        case 2: return PIMLET_FEED_FAILED;
        case 3: return PIMLET_SCANNER_MISSING;
        case 4: return PIMLET_PAPER_PATH_FAULT;
        default: return PIMLET_NO_PAPER;
    }
}

// "TwainScan" in the driver's settings tells its gamma loading to take this library's curve.
void SetTwainScan(const char* value) {
    const std::string temp = ordavel::platform::SystemTemporaryDirectory();
    if (temp.empty()) return;
    ordavel::platform::WriteProfileString(WithSeparator(temp) + "Mirt.def", "TWAINSCAN", "TwainScan", value);
}

void WriteCurve(PimletContext& ctx, const PimletAdjustments& a, int32_t bitDepth) {
    ctx.adjustments() = tone::Adjustments::Uniform(a.brightness, a.contrast, a.highlight, a.shadow, a.gamma);
    const std::string temp = ordavel::platform::SystemTemporaryDirectory();
    const std::string path = WithSeparator(temp) + (bitDepth == 8 ? "gamma_8a.gam" : "gamma_1a.gam");
    // The scan goes on either way; the driver then takes whatever curve it finds. Without a
    // temporary directory there is nowhere to put the curve (never the root folder).
    const auto written = temp.empty() ? tone::CurveFileResult::CannotCreate : tone::WriteCurveFile(path, ctx.adjustments());
    switch (written) {
        case tone::CurveFileResult::Written: break;
        case tone::CurveFileResult::CannotCreate:
            ordavel::platform::ShowErrorMessage(tone::kCurveFileErrorCaption, tone::kCannotCreateCurveFile);
            break;
        case tone::CurveFileResult::CannotWrite:
            ordavel::platform::ShowErrorMessage(tone::kCurveFileErrorCaption, tone::kCannotWriteCurveFile);
            break;
    }
}

void PrepareView(PimletContext& ctx, uint32_t pageNumber) {
    auto* view = ctx.progress();
    if (view == nullptr) return;
    char caption[64];
    std::snprintf(caption, sizeof caption, "%s%u%s", kCaptionStart, pageNumber, kCaptionEnd);
    view->setCaption(caption);
    view->show();
    view->bringToTop();
    view->setText(kTransferMode);
    view->setRange(0, 100);
    view->setStep(1);
    view->setPosition(0);
    view->setButtonText("OK");
}

struct SheetLoop {
    int result = PIMLET_OK;
    uint32_t pages = 0;
    bool feedFailed = false;
};

SheetLoop ScanSheets(PimletContext& ctx, const PimletScanRequest& request, const std::string& directory,
                     const std::string& prefix, int singleSheet) {
    SheetLoop loop;
    DriverBinding& driver = ctx.driver();
    const PaperForm form = request.paperForm == 1 ? PaperForm::Narrow : PaperForm::Wide;
    int32_t empty = 1;  // set once; the driver's paper check overwrites it
    for (;;) {
        ScanParameters params{};
        if (driver.getScanParams(params) != 0) {
            loop.result = PIMLET_DRIVER_PARAMS;
            return loop;
        }
        params = SheetParameters(request.bitDepth, request.resolution, form);
        if (driver.setScanParams(params, 0, ctx.progressCallback()) != 0) {
            loop.result = PIMLET_DRIVER_REJECTED;
            return loop;
        }
        PrepareView(ctx, loop.pages + 1);
        AcquiredPage acquired = AcquirePage(ctx);
        if (acquired.result == 0 && acquired.page) {
            if (auto* view = ctx.progress()) view->hide();
            // Only a file that is on disk whole counts as a page written.
            if (WriteBitmapFile(*acquired.page, PageFileName(directory, prefix, loop.pages + 1))) ++loop.pages;
        }
        acquired.page.reset();
        if (driver.feedPaper() != 0) {
            loop.feedFailed = true;
            loop.result = PIMLET_FEED_FAILED;
            return loop;
        }
        driver.paperEmpty(&empty);
        if (singleSheet != 0) empty = 1;
        if (empty != 0) {
            driver.stop();
            return loop;
        }
    }
}

}  // namespace

std::string PageFileName(const std::string& directory, const std::string& prefix, uint32_t number) {
    const char* padding = number < 10 ? "00" : number < 100 ? "0" : "";
    return WithSeparator(directory) + prefix + padding + std::to_string(number) + ".bmp";
}

int ScanToFile(PimletContext& ctx, const PimletAdjustments* adjust, const PimletScanRequest* request,
               const char* directory, const char* prefix, uint32_t* pagesOut, int singleSheet) {
    // Missing arguments are out of range like any other; nothing can be checked without them.
    if (adjust == nullptr || request == nullptr || directory == nullptr || prefix == nullptr || pagesOut == nullptr) {
        return PIMLET_BAD_ARGUMENT;
    }
    if (!DirectoryWritable(directory)) return PIMLET_BAD_DIRECTORY;
    if (!ArgumentsValid(*adjust, *request)) return PIMLET_BAD_ARGUMENT;

    // One scanning call of this user at a time: a second application waits for the first to end
    // (the kernel frees the turn of a process that dies). The device lock alone guards single
    // transfers, not a sheet's programming, acquisition and feed. Waiting without a bound is the
    // choice made here; an unusable runtime folder leaves the call unguarded rather than failing.
    auto turn = ordavel::platform::Presence::Take(kClientScanPresence);
    const bool waited = !turn;
    if (waited) turn = ordavel::platform::Presence::TakeWhenFree(kClientScanPresence);
    StartMonitor(ctx.realClock());
    ctx.driver().bind(DriverLibraryPath());
    // The monitor's answer dates from before the other application's scan; ask for a new one.
    if (waited) AwaitFreshPaperAnswer(ctx.realClock());
    const int32_t loaded = GetPaperLoaded();
    if (loaded != 1) {
        SetScanStart(kScanIdle);
        *pagesOut = 0;
        return ResultOfPaperLoaded(loaded);
    }
    // From here on the device is this call's: a look of the monitor that has begun ends first,
    // and no new one begins until the call is over.
    const auto deviceUse = ordavel::platform::Presence::TakeWhenFree(kDeviceUsePresence);

    SetTwainScan("0");
    WriteCurve(ctx, *adjust, request->bitDepth);

    int result = PIMLET_OK;
    uint32_t pages = 0;
    if (!ctx.createProgress()) {
        result = PIMLET_NO_PROGRESS_VIEW;
    } else if (!SetScanStart(kScanRunning)) {
        result = PIMLET_HANDSHAKE_FAILED;
    } else {
        const SheetLoop loop = ScanSheets(ctx, *request, directory, prefix, singleSheet);
        pages = loop.pages;
        result = loop.result;
        if (loop.feedFailed) {
            // Left at 32 so the next call reports the failure once and clears it.
            SetScanStart(kScanFeedFailed);
            ctx.driver().stop();
            ctx.destroyProgress();
            SetTwainScan("1");
            *pagesOut = pages;
            return result;
        }
    }
    SetScanStart(kScanIdle);
    ctx.destroyProgress();
    SetTwainScan("1");
    *pagesOut = pages;
    return result;
}

}  // namespace mirt::client
