// The mirt subcommands.
#pragma once

#include <string>

#include "tools/mirt/batch_scan.h"

namespace mirt {

struct CommonOptions {
    std::string driverPath;  // empty: the library beside mirt
};

int RunScan(const CommonOptions& common, const ScanOptions& options);
int RunCalibrate(const CommonOptions& common);
int RunStatus(const CommonOptions& common);
int RunInfo(const CommonOptions& common);

}  // namespace mirt
