// The backend's context: devices, the driver, options and the scanner's button and sensor.
#include "sane/backend.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/background_process.h"
#include "platform/process.h"
#include "sane/sane_status.h"
#include "tools/common/scanner_setup.h"

namespace mirt::sane_backend {

namespace fs = std::filesystem;

namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

SANE_Status Backend::init(const std::string& saneConfigDir) {
    log_ = DebugLog::FromEnvironment();
    config_ = {};
    for (const std::string& folder : ConfigFolders(saneConfigDir)) {
        const std::string text = ReadWholeFile(folder + "/mirt.conf");
        if (!text.empty()) {
            config_ = ParseBackendConfig(text);
            log_.say(LogLevel::Info, "configuration from " + folder + "/mirt.conf");
            break;
        }
    }
    // The variable adds a virtual scanner for a run without editing the configuration.
    const std::string fromEnvironment = ordavel::platform::GetEnvironment("MIRT_VIRTUAL_SCANNER");
    if (!fromEnvironment.empty() &&
        std::find(config_.virtualScanners.begin(), config_.virtualScanners.end(), fromEnvironment) ==
            config_.virtualScanners.end()) {
        config_.virtualScanners.push_back(fromEnvironment);
    }
    // The driver's files live in its own directory, never in the frontend's folder.
    std::string error;
    tempDir_ = DriverTempDirectory(error);
    dataDir_ = DataDirectory();
    const DebugLog& log = log_;
    if (tempDir_.empty() ||
        !PrepareDriverFiles(tempDir_, dataDir_, [&log](const std::string& said) { log.say(LogLevel::Info, said); },
                            error)) {
        log_.say(LogLevel::User, error.empty() ? "no usable directory for the driver's files" : error);
        return SANE_STATUS_IO_ERROR;
    }
    devices_.clear();
    for (std::size_t i = 0; i < config_.virtualScanners.size(); ++i) {
        // Distinct names: a number per virtual scanner, in the order configured.
        devices_.push_back({"virtual" + std::to_string(i), "Sheet Scanner (virtual)", config_.virtualScanners[i]});
        log_.say(LogLevel::Info, "mirt:" + devices_.back().name + " is the virtual scanner of " + config_.virtualScanners[i]);
    }
    if (!AttachedScanners(tempDir_, config_.usbIds).empty()) {
        devices_.push_back({"usb", "Sheet Scanner", {}});
        RecordRealScanner(tempDir_);  // mirt then never stands in its demonstration scanner for it
    } else if (const std::string problem = ScannerAccessProblem(); !problem.empty()) {
        // Listed as no device, as SANE has no "present but forbidden"; the user is told why.
        log_.say(LogLevel::User, problem);
    }
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::getDevices(const SANE_Device*** list, bool) {
    saneDevices_.clear();
    deviceList_.clear();
    for (const DeviceEntry& d : devices_) {
        saneDevices_.push_back(SANE_Device{d.name.c_str(), "Mirt", d.model.c_str(), "sheetfed scanner"});
    }
    for (const SANE_Device& d : saneDevices_) deviceList_.push_back(&d);
    deviceList_.push_back(nullptr);
    *list = deviceList_.data();
    return SANE_STATUS_GOOD;
}

bool Backend::loadDriver() {
    if (driver_) return true;
    std::string path = ordavel::platform::GetEnvironment("MIRT_DRIVER");
    if (path.empty()) path = config_.driverPath;
    if (path.empty()) {
        // Beside this backend, in the library folder above its "sane" folder (the build tree),
        // in lib/ above lib/<multiarch>/sane (an installation), or where the installation
        // configured at build time put it.
        static const char anchor = 0;
        const std::string here = ordavel::platform::ModuleFolderOf(&anchor);
        std::error_code ec;
        for (const std::string& candidate : {here + "/libOrdavel.so", here + "/../libOrdavel.so",
                                             here + "/../../libOrdavel.so", std::string(MIRT_INSTALLED_DRIVER)}) {
            path = candidate;
            if (fs::exists(candidate, ec)) break;
        }
    }
    auto binding = std::make_unique<DriverBinding>();
    if (!binding->load(path)) {
        log_.say(LogLevel::User, "cannot load the driver library " + path + ": " + binding->error());
        return false;
    }
    driver_ = std::move(binding);
    return true;
}

SANE_Status Backend::open(const std::string& name) {
    if (open_) return SANE_STATUS_DEVICE_BUSY;  // the driver drives one scanner per process
    const DeviceEntry* found = nullptr;
    for (const DeviceEntry& d : devices_) {
        if (name.empty() || d.name == name) {
            found = &d;
            break;
        }
    }
    if (found == nullptr) return SANE_STATUS_INVAL;
    // The driver finds its scanner through the environment when it opens the device.
    ordavel::platform::SetEnvironment("MIRT_VIRTUAL_SCANNER", found->virtualConfig);
    if (!loadDriver()) return SANE_STATUS_IO_ERROR;
    device_ = *found;
    options_ = OptionSet();
    sheetPositioned_ = false;
    pendingFailure_ = SANE_STATUS_GOOD;
    updateSensorActivity();
    open_ = true;
    return SANE_STATUS_GOOD;
}

void Backend::close() {
    cancel();
    finishCancel();
    open_ = false;
}

bool Backend::calibrated() const {
    return InspectStoredCalibration(tempDir_) == StoredCalibration::Usable;
}

void Backend::updateSensorActivity() {
    // The paper sensors are read through a started scan, which needs the stored calibration.
    options_.setSensorsReadable(calibrated());
}

SANE_Status Backend::control(int index, SANE_Action action, void* value, SANE_Int* info) {
    BusyScope busy(busy_);
    if (info != nullptr) *info = 0;
    if (!open_) return SANE_STATUS_INVAL;
    if (scanning_ && action != SANE_ACTION_GET_VALUE) return SANE_STATUS_DEVICE_BUSY;
    if (action == SANE_ACTION_GET_VALUE && index == kOptPageLoaded) {
        if (value == nullptr) return SANE_STATUS_INVAL;
        const SANE_Option_Descriptor* d = options_.descriptor(index);
        if (!SANE_OPTION_IS_ACTIVE(d->cap)) return SANE_STATUS_INVAL;
        return pageLoaded(static_cast<SANE_Bool*>(value));
    }
    if (action == SANE_ACTION_GET_VALUE) return options_.get(index, value);
    if (action == SANE_ACTION_SET_AUTO) return options_.setAuto(index, info);
    if (action != SANE_ACTION_SET_VALUE) return SANE_STATUS_INVAL;
    const SANE_Status status = options_.set(index, value, info);
    if (status == SANE_STATUS_GOOD && index == kOptCalibrate) return calibrate(info);
    return status;
}

SANE_Status Backend::parameters(SANE_Parameters* out) const {
    if (out == nullptr) return SANE_STATUS_INVAL;
    // Exact before the scan: the driver delivers exactly this window, a short sheet filled with
    // white to its full length.
    const ScanWindow w = scanning_ ? window_ : options_.window();
    out->format = SANE_FRAME_GRAY;
    out->last_frame = SANE_TRUE;
    out->depth = w.lineart ? 1 : 8;
    out->pixels_per_line = w.pixelsPerLine();
    out->lines = w.lines();
    out->bytes_per_line = w.bytesPerLine();
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::explainNotCalibrated() {
    log_.say(LogLevel::User, kNeedsCalibration);
    return kNotCalibratedStatus;
}

DriverStatus Backend::driverStatus(const std::string& text) const {
    return RefineWithCalibration(DescribeDriverStatus(text), tempDir_);
}

SANE_Status Backend::failure(const char* during, const std::string& earlierText) {
    const std::string text = !earlierText.empty() ? earlierText : driver_ ? driver_->statusText() : std::string();
    endSession();
    const DriverStatus cause = driverStatus(text);
    if (cause.statusClass == StatusClass::NotCalibrated || cause.statusClass == StatusClass::CalibrationDamaged) {
        log_.say(LogLevel::Error, std::string(during) + ": " + cause.message());
        return explainNotCalibrated();
    }
    log_.say(LogLevel::Error, std::string(during) + ": " + cause.message());
    return SaneStatusFor(cause.statusClass);
}

SANE_Status Backend::calibrate(SANE_Int* info) {
    if (sessionOpen_) endSession();
    // Calibration measures the whole imaging width, grey, so that every later window is covered.
    ScanWindow whole;  // the whole bed, grey, at 200 dpi
    if (!setRequest(whole)) return failure("setting up the calibration");
    log_.say(LogLevel::User, "calibrating with the white calibration sheet (about one minute)");
    const int32_t rc = driver_->ScanCalibration();
    // The calibration feeds its sheet out: what waits in the feeder now is not known.
    sheetPositioned_ = false;
    if (rc != 0) return failure("calibrating");
    updateSensorActivity();
    if (info != nullptr) *info |= SANE_INFO_RELOAD_OPTIONS;
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::pageLoaded(SANE_Bool* loaded) {
    *loaded = SANE_FALSE;
    int32_t empty = 1;
    if (sessionOpen_) {
        // Between the sheets of a batch the connection is open: look at once.
        if (driver_->ScanPaperEmpty(&empty) != 0) return failure("checking for paper");
    } else {
        // The paper check needs an open connection: start, look, and stop again.
        if (!setRequest(options_.window()) || driver_->ScanStart() != 0) return failure("checking for paper");
        const int32_t rc = driver_->ScanPaperEmpty(&empty);
        driver_->ScanStop();
        if (rc != 0) return failure("checking for paper");
    }
    *loaded = empty == 0 ? SANE_TRUE : SANE_FALSE;
    return SANE_STATUS_GOOD;
}

}  // namespace mirt::sane_backend
