// Scanning every sheet in the feeder, in the calling order a client of the driver uses (set
// the request, start, read until the page is complete, feed, check for paper), while a writer
// thread stores the pages. A page whose sheet jammed or whose scan failed part-way is never
// stored; a stop asked for by the user ends the scan of the sheet under way and keeps every
// page completed before it.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/stop_request.h"
#include "tools/common/driver_binding.h"
#include "tools/common/first_sheet.h"
#include "tools/common/page_area.h"
#include "tools/mirt/page_sinks.h"
#include "tools/mirt/progress_bar.h"

namespace mirt {

struct ScanOptions {
    bool lineart = false;        // 1-bit instead of 8-bit grey
    int dpi = 200;               // 200, or 300 through the driver's 3/2 enlargement
    page_area::BedWindow window;  // the area of the bed to scan
    bool trim = false;           // drop the white the driver fills below a short sheet
    bool singleSheet = false;
    FirstSheetPlace firstSheet = FirstSheetPlace::Rollers;  // where the first sheet waits
};

struct ScanOutcome {
    int exitCode = 0;
    int pages = 0;                      // pages scanned whole and handed to the writer
    std::string message;                // for the user when exitCode is not 0
    std::vector<std::string> unsaved;   // what was not saved, and why
    double writerCpuSeconds = 0;        // the writer thread's CPU time for the batch
    // When the first page was handed to the writer and when the last was written: the batch's
    // steady pace lies between them, without the set-up before the first sheet.
    std::chrono::steady_clock::time_point firstPageHanded{};
    std::chrono::steady_clock::time_point allWritten{};
};

// Prints a line about the batch (files written, pages not saved) between pages.
using BatchSay = std::function<void(const std::string&)>;

ScanOutcome ScanBatch(DriverBinding& driver, const ScanOptions& options, PageSink& sink, ProgressBar& progress,
                      ordavel::platform::StopRequest& stop, const BatchSay& sayWritten);

}  // namespace mirt
