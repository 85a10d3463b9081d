// sane_cancel stops the scanner and leaves it ready: the backend's context driven as a frontend
// drives it, in a child process of its own (the driver library and the environment are the
// process's), against a private virtual scanner.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/process.h"
#include "sane/backend.h"
#include "tests/sane/scanimage_desk.h"
#include "tests/sane/scanned_image.h"
#include "tests/support/child_process.h"
#include "tests/support/test_paths.h"

namespace {

using namespace ordavel::test;
using mirt::sane_backend::Backend;

// The scenario's context and whether its driver callback plays a SIGINT arriving mid-sheet.
Backend* g_backend = nullptr;
bool g_cancelFromCallback = false;

int32_t Callback(int32_t kind) {
    if (kind == 1 && g_cancelFromCallback) g_backend->cancel();
    return g_backend->onDriverStatus(kind);
}

// Reads the frame of a started sheet to its end, or `limit` bytes of it.
GreyImage ReadFrame(Backend& backend, std::size_t limit = SIZE_MAX) {
    SANE_Parameters p{};
    backend.parameters(&p);
    GreyImage image;
    image.width = p.pixels_per_line;
    image.height = p.lines;
    image.maxval = 255;
    image.pixels.resize(static_cast<std::size_t>(p.bytes_per_line) * p.lines);
    std::size_t at = 0;
    SANE_Int got = 0;
    while (at < std::min(limit, image.pixels.size()) &&
           backend.read(image.pixels.data() + at, 32768, &got) == SANE_STATUS_GOOD) {
        at += static_cast<std::size_t>(got);
    }
    return image;
}

// Each step that can go wrong has its exit code.
enum Step { kDone = 0, kOpened = 10, kFirstStart, kAfterCancel, kAfterCancelMatches, kCancelMidSheet, kAfterMidSheet,
            kAfterMidSheetMatches, kEndOfStack };

int CancelScenario(const ScanimageDesk& desk) {
    using ordavel::platform::SetEnvironment;
    SetEnvironment("SANE_CONFIG_DIR", desk.configDir());
    SetEnvironment("MIRT_STATE_DIR", desk.file("tmp"));
    SetEnvironment("MIRT_VIRTUAL_PRIVATE", "1");
    SetEnvironment("MIRT_VIRTUAL_SCANNER", "");
    SetEnvironment("MIRT_DRIVER", BinaryDir() + "/lib/libOrdavel.so");
    Backend backend(Callback);
    g_backend = &backend;
    if (backend.init(desk.configDir()) != SANE_STATUS_GOOD || backend.open("virtual0") != SANE_STATUS_GOOD) return kOpened;
    // The default area, the whole bed: longer than every sheet.
    // A frontend that gives up half way through the chart's frame.
    if (backend.start() != SANE_STATUS_GOOD) return kFirstStart;
    ReadFrame(backend, 1 << 20);
    backend.cancel();
    // The next sheet is the document, whole.
    if (backend.start() != SANE_STATUS_GOOD) return kAfterCancel;
    if (PageAgreement(ReadFrame(backend), "document", {}) < 0.9) return kAfterCancelMatches;
    // A cancel while the ticket is being scanned stops it there and feeds it out.
    g_cancelFromCallback = true;
    if (backend.start() != SANE_STATUS_CANCELLED) return kCancelMidSheet;
    g_cancelFromCallback = false;
    if (backend.start() != SANE_STATUS_GOOD) return kAfterMidSheet;
    if (PageAgreement(ReadFrame(backend), "chart", {}) < 0.9) return kAfterMidSheetMatches;
    if (backend.start() != SANE_STATUS_NO_DOCS) return kEndOfStack;
    backend.close();
    return kDone;
}

TEST(SaneCancel, StopsTheScannerAndLeavesItReadyForTheNextSheet) {
    ASSERT_EQ(ScanimageDesk::SharedCalibrationProblem(), "");
    ScanimageDesk desk("sane-cancel");
    desk.load({"chart", "document", "ticket", "chart"});
    const int step = RunInChild([&desk] { return CancelScenario(desk); });
    const char* const kWhat[] = {"opening the device", "starting the first sheet", "starting after the cancel",
                                 "the sheet after the cancel is the document", "cancelling mid-sheet",
                                 "starting after the cancel mid-sheet", "the sheet after that is the chart",
                                 "the feeder is empty at the end"};
    EXPECT_EQ(step, kDone) << (step >= kOpened && step <= kEndOfStack ? kWhat[step - kOpened] : "the child died");
}

}  // namespace
