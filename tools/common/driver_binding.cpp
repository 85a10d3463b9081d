// Binding the driver's exports.
#include "tools/common/driver_binding.h"

#include "platform/process.h"
#include "platform/windows_directory.h"

namespace mirt {

namespace {
template <typename F>
bool Bind(const ordavel::platform::DynamicLibrary& library, const char* name, F& slot, std::string& error) {
    slot = reinterpret_cast<F>(library.symbol(name));
    if (slot == nullptr) error = std::string("the driver library lacks ") + name;
    return slot != nullptr;
}
}  // namespace

bool DriverBinding::load(const std::string& path) {
    if (!library_.load(path)) {
        error_ = library_.error();
        return false;
    }
    return Bind(library_, "ScanStart", ScanStart, error_) && Bind(library_, "ScanRead", ScanRead, error_) &&
           Bind(library_, "ScanStop", ScanStop, error_) &&
           Bind(library_, "ScanSetScanParams", ScanSetScanParams, error_) &&
           Bind(library_, "ScanGetScanParams", ScanGetScanParams, error_) &&
           Bind(library_, "ScanGetScanInfo", ScanGetScanInfo, error_) &&
           Bind(library_, "ScanGetScanHardware", ScanGetScanHardware, error_) &&
           Bind(library_, "ScanGetCapability", ScanGetCapability, error_) &&
           Bind(library_, "ScanCalibration", ScanCalibration, error_) &&
           Bind(library_, "ScanPaperEmpty", ScanPaperEmpty, error_) &&
           Bind(library_, "ScanFeedPaper", ScanFeedPaper, error_);
}

std::string DriverBinding::statusText() const {
    if (ScanGetScanInfo == nullptr) return {};
    ScanInfo info{};
    ScanGetScanInfo(&info);
    info.statusText[sizeof info.statusText - 1] = '\0';
    return info.statusText;
}

std::string DefaultDriverPath() {
    const std::string fromEnvironment = ordavel::platform::GetEnvironment("MIRT_DRIVER");
    if (!fromEnvironment.empty()) return fromEnvironment;
    return ordavel::platform::ExecutableDirectory() + "/" + ordavel::platform::kLibrariesFromPrograms + "/" +
           ordavel::platform::kDriverLibraryFile;
}

}  // namespace mirt
