// Scanning every sheet in the feeder into numbered page files, in the calling order a client of
// the driver uses: set parameters, start, read until the page is complete, feed, check for paper.
#pragma once

#include <string>

#include "tools/common/driver_binding.h"
#include "tools/common/first_sheet.h"
#include "tools/mirt/page_files.h"
#include "tools/mirt/progress_bar.h"

namespace mirt {

struct ScanOptions {
    bool blackAndWhite = false;  // 1-bit instead of 8-bit grey
    int dpi = 200;               // 200, or 300 through the driver's 3/2 enlargement
    bool wideWindow = false;     // the client's wide window instead of the narrow one
    bool singleSheet = false;
    FirstSheetPlace firstSheet = FirstSheetPlace::Rollers;  // where the first sheet waits
    PageFormat format = PageFormat::Bmp;
    std::string outputDirectory = "scans";
    std::string prefix = "page";
};

struct ScanOutcome {
    int exitCode = 0;
    int pages = 0;
    std::string message;  // for the user when exitCode is not 0
};

// The scan request for one sheet, as the scan-to-file client fills it.
ScanRequest SheetRequest(const ScanRequest& current, const ScanOptions& options);

ScanOutcome ScanBatch(DriverBinding& driver, const ScanOptions& options, ProgressBar& progress);

}  // namespace mirt
