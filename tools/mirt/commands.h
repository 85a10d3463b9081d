// The mirt subcommands.
#pragma once

#include <string>

#include "tools/mirt/batch_scan.h"

namespace mirt {

struct CommonOptions {
    std::string driverPath;  // empty: the library beside mirt
};

int RunScan(const CommonOptions& common, const ScanOptions& options);
// With `loadCalibrationSheet` a virtual scanner gets the white calibration sheet alone in its
// rollers first (how mirt calibrates the virtual scanner before a first scan).
int RunCalibrate(const CommonOptions& common, bool loadCalibrationSheet);
int RunStatus(const CommonOptions& common);
int RunInfo(const CommonOptions& common);

}  // namespace mirt
