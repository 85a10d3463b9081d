// The mirt subcommands.
#pragma once

#include <optional>
#include <string>

#include "tools/common/tone_setting.h"
#include "tools/mirt/batch_scan.h"
#include "tools/mirt/page_encoding.h"

namespace mirt {

struct CommonOptions {
    std::string driverPath;  // empty: the library beside mirt
    std::string device;      // -d: "usb", "demo", "virtual:<configuration>"; empty: mirt's own choice
};

// The scan command as given on the command line; resolved into names and a window before any
// paper moves.
struct ScanCommand {
    bool lineart = false;
    int dpi = 200;
    bool trim = false;
    bool singleSheet = false;
    std::string pageSize = "bed";
    bool areaGiven = false;
    page_area::AreaMm area;           // -l -t -x -y, on the page
    std::string outputDirectory = "scans";
    std::string prefix = "page";
    std::string batchPattern;         // --batch: a name pattern such as "p%03d.png", or "-"
    std::optional<int> batchStart;
    bool batchPrint = false;
    std::optional<PageFormat> format;  // -f; else the pattern's extension; else BMP
    bool multiPage = false;           // TIFF: one file for the batch (PDF always is)
    ToneSetting tone;
    bool writerStats = false;         // report the writer thread's CPU per page and the pace
    bool discard = false;             // write nothing (the scanner's own pace, for benchmarks)
};

int RunScan(const CommonOptions& common, const ScanCommand& command);
// With `loadCalibrationSheet` a virtual scanner gets the white calibration sheet alone in its
// rollers first (how mirt calibrates the virtual scanner before a first scan).
int RunCalibrate(const CommonOptions& common, bool loadCalibrationSheet);
// Exit code 0 when a sheet is ready, kExitNotReady when none is.
int RunStatus(const CommonOptions& common);
int RunInfo(const CommonOptions& common);
int RunDevices(const CommonOptions& common);

}  // namespace mirt
