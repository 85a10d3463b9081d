// The driver library loaded at run time, its eleven exports bound by name.
#pragma once

#include <string>

#include "ordavel.h"
#include "platform/dynamic_library.h"

namespace mirt {

class DriverBinding {
public:
    // Loads the library at `path`; false with error() set when it or an export is missing.
    bool load(const std::string& path);
    const std::string& error() const { return error_; }

    // The exports, as a client calls them.
    decltype(&::ScanStart) ScanStart = nullptr;
    decltype(&::ScanRead) ScanRead = nullptr;
    decltype(&::ScanStop) ScanStop = nullptr;
    decltype(&::ScanSetScanParams) ScanSetScanParams = nullptr;
    decltype(&::ScanGetScanParams) ScanGetScanParams = nullptr;
    decltype(&::ScanGetScanInfo) ScanGetScanInfo = nullptr;
    decltype(&::ScanGetScanHardware) ScanGetScanHardware = nullptr;
    decltype(&::ScanGetCapability) ScanGetCapability = nullptr;
    decltype(&::ScanCalibration) ScanCalibration = nullptr;
    decltype(&::ScanPaperEmpty) ScanPaperEmpty = nullptr;
    decltype(&::ScanFeedPaper) ScanFeedPaper = nullptr;

    // The driver's current status text.
    std::string statusText() const;

private:
    ordavel::platform::DynamicLibrary library_;
    std::string error_;
};

// Where the driver library sits beside this program in the build or install tree.
std::string DefaultDriverPath();

}  // namespace mirt
