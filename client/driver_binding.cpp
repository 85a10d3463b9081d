// Binding the driver's exports by name.
#include "client/driver_binding.h"

#include "platform/temp_dir.h"
#include "platform/windows_directory.h"

namespace mirt::client {

namespace {

template <typename F>
void Look(const ordavel::platform::DynamicLibrary& library, const char* name, F& slot) {
    slot = reinterpret_cast<F>(library.symbol(name));
}

// "<Windows directory>\twain_32\Mirt\<file>" with the platform's separator.
std::string InMirtFolder(const char* file) {
    constexpr char sep = ordavel::platform::kPathSeparator;
    std::string path = ordavel::platform::WindowsDirectory();
    if (path.empty()) return {};
    if (path.back() != sep) path += sep;
    return path + "twain_32" + sep + "Mirt" + sep + file;
}

}  // namespace

bool DriverBinding::bind(const std::string& path) {
    if (bound()) return true;
    if (path.empty() || !library_.load(path)) {
        error_ = path.empty() ? "no Windows directory" : library_.error();
        return false;
    }
    // A missing export leaves its slot empty: only calls through that one yield 1.
    Look(library_, "ScanStart", start_);
    Look(library_, "ScanRead", read_);
    Look(library_, "ScanStop", stop_);
    Look(library_, "ScanSetScanParams", setScanParams_);
    Look(library_, "ScanGetScanParams", getScanParams_);
    Look(library_, "ScanGetScanInfo", getScanInfo_);
    Look(library_, "ScanGetScanHardware", getScanHardware_);
    Look(library_, "ScanGetCapability", getCapability_);
    Look(library_, "ScanCalibration", calibration_);
    Look(library_, "ScanPaperEmpty", paperEmpty_);
    Look(library_, "ScanFeedPaper", feedPaper_);
    return true;
}

int32_t DriverBinding::start() { return call(start_); }
int32_t DriverBinding::read(uint8_t* buffer, int32_t size, int32_t* got) { return call(read_, buffer, size, got); }
int32_t DriverBinding::stop() { return call(stop_); }

int32_t DriverBinding::getScanParams(ScanParameters& out) {
    ScanRequest request{};
    const int32_t rc = getRequest(request);
    if (rc == 0) out = WithoutLineOrder(request);
    return rc;
}

int32_t DriverBinding::setScanParams(const ScanParameters& params, int32_t lineOrder, ScanStatusCallback callback) {
    const ScanRequest request = WithLineOrder(params, lineOrder);
    return setRequest(request, callback);
}

int32_t DriverBinding::getRequest(ScanRequest& out) { return call(getScanParams_, &out); }
int32_t DriverBinding::setRequest(const ScanRequest& request, ScanStatusCallback callback) {
    return call(setScanParams_, &request, callback);
}
int32_t DriverBinding::getScanInfo(ScanInfo& out) { return call(getScanInfo_, &out); }
int32_t DriverBinding::paperEmpty(int32_t* empty) { return call(paperEmpty_, empty); }
int32_t DriverBinding::feedPaper() { return call(feedPaper_); }

std::string DriverLibraryPath() { return InMirtFolder(ordavel::platform::kDriverLibraryFile); }
std::string MonitorProgramPath() { return InMirtFolder(ordavel::platform::kMonitorProgramFile); }

}  // namespace mirt::client
