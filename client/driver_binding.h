// The driver library as the scan-to-file library binds it: loaded once by path, its eleven
// exports looked up by name. Every call through the binding yields 1 when its entry point is
// missing (no library, or a library without that export); otherwise it returns the driver's
// result and keeps it as the last result.
#pragma once

#include <cstdint>
#include <string>

#include "client/scan_parameters.h"
#include "ordavel.h"
#include "platform/dynamic_library.h"

namespace mirt::client {

class DriverBinding {
public:
    // Loads the library at `path` unless one is bound already; a failed load leaves the binding
    // empty. True when a library is bound.
    bool bind(const std::string& path);
    bool bound() const { return library_.loaded(); }
    const std::string& error() const { return error_; }
    int32_t lastResult() const { return lastResult_; }

    int32_t start();
    int32_t read(uint8_t* buffer, int32_t size, int32_t* got);
    int32_t stop();
    // The driver's record without its line-order word, and back with `lineOrder` put in front.
    int32_t getScanParams(ScanParameters& out);
    int32_t setScanParams(const ScanParameters& params, int32_t lineOrder, ScanStatusCallback callback);
    // The whole record, for the steps that change only the line order.
    int32_t getRequest(ScanRequest& out);
    int32_t setRequest(const ScanRequest& request, ScanStatusCallback callback);
    int32_t getScanInfo(ScanInfo& out);
    int32_t paperEmpty(int32_t* empty);
    int32_t feedPaper();

private:
    template <typename F, typename... Args>
    int32_t call(F* entry, Args... args) {
        if (entry == nullptr) return 1;
        lastResult_ = entry(args...);
        return lastResult_;
    }

    ordavel::platform::DynamicLibrary library_;
    std::string error_;
    int32_t lastResult_ = 0;
    decltype(&::ScanStart) start_ = nullptr;
    decltype(&::ScanRead) read_ = nullptr;
    decltype(&::ScanStop) stop_ = nullptr;
    decltype(&::ScanSetScanParams) setScanParams_ = nullptr;
    decltype(&::ScanGetScanParams) getScanParams_ = nullptr;
    decltype(&::ScanGetScanInfo) getScanInfo_ = nullptr;
    decltype(&::ScanGetScanHardware) getScanHardware_ = nullptr;
    decltype(&::ScanGetCapability) getCapability_ = nullptr;
    decltype(&::ScanCalibration) calibration_ = nullptr;
    decltype(&::ScanPaperEmpty) paperEmpty_ = nullptr;
    decltype(&::ScanFeedPaper) feedPaper_ = nullptr;
};

// "<Windows directory>\twain_32\Mirt\<driver library>" (with the platform's separator).
std::string DriverLibraryPath();
// "<Windows directory>\twain_32\Mirt\<monitor program>".
std::string MonitorProgramPath();

}  // namespace mirt::client
