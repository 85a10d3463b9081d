// The backend's context: devices, options and the sheet loop on the driver's exports.
#include "sane/backend.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/tone_curve.h"
#include "platform/background_process.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "sane/page_rows.h"
#include "tools/common/scanner_setup.h"

namespace mirt::sane_backend {

namespace fs = std::filesystem;

namespace {

void Say(const std::string& text) { std::fprintf(stderr, "mirt: %s\n", text.c_str()); }

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The driver's status texts and the SANE status each stands for.
SANE_Status StatusFor(const std::string& text) {
    if (text.find("塞纸") != std::string::npos) return SANE_STATUS_JAMMED;
    if (text.find("上盖打开") != std::string::npos) return SANE_STATUS_COVER_OPEN;
    if (text.find("内存不足") != std::string::npos) return SANE_STATUS_NO_MEM;
    return SANE_STATUS_IO_ERROR;
}

constexpr const char* kNeedsCalibration =
    "the scanner needs calibrating: put the white calibration sheet in the feeder and press the "
    "calibrate button (scanimage --calibrate), then scan again";

}  // namespace

SANE_Status Backend::init(const std::string& saneConfigDir) {
    config_ = {};
    for (const std::string& folder : ConfigFolders(saneConfigDir)) {
        const std::string text = ReadWholeFile(folder + "/mirt.conf");
        if (!text.empty()) {
            config_ = ParseBackendConfig(text);
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
    // The driver's files live in its temporary directory, never in the frontend's folder.
    tempDir_ = DriverTempDirectory();
    dataDir_ = DataDirectory();
    std::string error;
    if (tempDir_.empty() || !PrepareDriverFiles(tempDir_, dataDir_, [](const std::string&) {}, error)) {
        Say(error.empty() ? "no usable temporary directory for the driver's files" : error);
        return SANE_STATUS_IO_ERROR;
    }
    devices_.clear();
    for (std::size_t i = 0; i < config_.virtualScanners.size(); ++i) {
        // Distinct names: a number per virtual scanner, in the order configured.
        devices_.push_back({"virtual" + std::to_string(i), "Mirt Sheet Scanner (virtual)", config_.virtualScanners[i]});
    }
    if (ScannerAttached(tempDir_)) devices_.push_back({"usb", "Mirt Sheet Scanner", {}});
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
        // Beside this backend, or in the library folder above its "sane" folder.
        static const char anchor = 0;
        const std::string here = ordavel::platform::ModuleFolderOf(&anchor);
        path = here + "/libOrdavel.so";
        std::error_code ec;
        if (!fs::exists(path, ec)) path = here + "/../libOrdavel.so";
    }
    auto binding = std::make_unique<DriverBinding>();
    if (!binding->load(path)) {
        Say("cannot load the driver library " + path + ": " + binding->error());
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
    // A sheet pushed only to the entrance is fed before the first scan; a sheet already in
    // the rollers is scanned as it lies.
    needFeed_ = !device_.virtualConfig.empty() &&
                ChooseScanner(tempDir_, dataDir_, [](const std::string&) {}).firstSheetAtEntrance;
    open_ = true;
    return SANE_STATUS_GOOD;
}

void Backend::close() {
    cancel();
    open_ = false;
}

SANE_Status Backend::control(int index, SANE_Action action, void* value, SANE_Int* info) {
    if (info != nullptr) *info = 0;
    if (!open_) return SANE_STATUS_INVAL;
    if (scanning_ && action != SANE_ACTION_GET_VALUE) return SANE_STATUS_DEVICE_BUSY;
    if (action == SANE_ACTION_GET_VALUE && index == kOptPageLoaded) {
        if (value == nullptr) return SANE_STATUS_INVAL;
        return pageLoaded(static_cast<SANE_Bool*>(value));
    }
    if (action == SANE_ACTION_GET_VALUE) return options_.get(index, value);
    if (action == SANE_ACTION_SET_AUTO) return options_.setAuto(index, info);
    if (action != SANE_ACTION_SET_VALUE) return SANE_STATUS_INVAL;
    const SANE_Status status = options_.set(index, value, info);
    if (status == SANE_STATUS_GOOD && index == kOptCalibrate) return calibrate();
    return status;
}

SANE_Status Backend::parameters(SANE_Parameters* out) const {
    if (out == nullptr) return SANE_STATUS_INVAL;
    // Exact before the scan: the driver delivers exactly this window.
    const ScanWindow w = scanning_ ? window_ : options_.window();
    out->format = SANE_FRAME_GRAY;
    out->last_frame = SANE_TRUE;
    out->depth = w.lineart ? 1 : 8;
    out->pixels_per_line = w.pixelsPerLine();
    out->lines = w.lines();
    out->bytes_per_line = w.bytesPerLine();
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::failure(const char* during) {
    const std::string text = driver_ ? driver_->statusText() : std::string();
    endSession();
    if (text.find("打开扫描文件错误") != std::string::npos) {
        Say(kNeedsCalibration);
        return SANE_STATUS_INVAL;
    }
    Say(std::string(during) + ": " + (text.empty() ? "the driver reported a failure" : text));
    return StatusFor(text);
}

namespace {
Backend* g_callbackTarget = nullptr;
// The driver calls back without a context of its own; the open scanner is the one scanning.
int32_t DriverStatusCallback(int32_t kind) { return g_callbackTarget ? g_callbackTarget->onDriverStatus(kind) : 0; }
}  // namespace

int32_t Backend::onDriverStatus(int32_t kind) { return kind == 1 && cancelRequested_.load() ? 1 : 0; }

bool Backend::setRequest(int32_t lineOrder) {
    ScanRequest r{};
    if (driver_->ScanGetScanParams(&r) != 0) return false;
    r.lineOrder = lineOrder;
    r.bedLeft = 0;
    r.bedTop = 0;
    r.bedRight = kBedPixelsWide;
    r.bedBottom = kBedPixelsLong;
    r.scanRectLeft = window_.left;
    r.scanRectTop = window_.top;
    r.scanRectRight = window_.right;
    r.scanRectBottom = window_.bottom;
    r.pixelType = window_.lineart ? 0 : 1;
    r.bitDepth = window_.lineart ? 1 : 8;
    r.xResolution = kBedDpi;
    r.yResolution = kBedDpi;
    r.interpolate = 0;
    r.reserved2 = 0;
    r.res = window_.resolution == 300 ? 1 : 0;
    r.imageWidth = window_.pixelsPerLine();
    r.imageHeight = window_.lines();
    g_callbackTarget = this;
    return driver_->ScanSetScanParams(&r, DriverStatusCallback) == 0;
}

bool Backend::writeToneCurve() {
    // The same curve as the scan-to-file library's. In line art the driver turns grey into black
    // and white at 127 after the curve; shifting the curve by 128 - threshold puts that cut at
    // the threshold the user chose (a grey at or above it is white).
    const int32_t brightness = window_.lineart ? 128 - window_.threshold : window_.brightness;
    const auto adjust = tone::Adjustments::Uniform(brightness, window_.contrast, 0, 0, 10);
    const std::string path = (fs::path(tempDir_) / (window_.lineart ? "gamma_1a.gam" : "gamma_8a.gam")).string();
    return tone::WriteCurveFile(path, adjust) == tone::CurveFileResult::Written;
}

void Backend::setScanFlag(bool scanning) {
    // The driver reads its curve file from the adjusted name while the flag is 0.
    ordavel::platform::WriteProfileString((fs::path(tempDir_) / "Mirt.def").string(), "TWAINSCAN", "TwainScan",
                                          scanning ? "0" : "1");
}

void Backend::endSession() {
    if (sessionOpen_ && driver_) driver_->ScanStop();
    if (sessionOpen_) setScanFlag(false);
    sessionOpen_ = false;
    scanning_ = false;
    frame_.clear();
    frameOffset_ = 0;
}

SANE_Status Backend::start() {
    if (!open_ || !driver_) return SANE_STATUS_INVAL;
    if (scanning_) return SANE_STATUS_DEVICE_BUSY;
    cancelRequested_ = false;
    if (InspectStoredCalibration(tempDir_) != StoredCalibration::Usable) {
        Say(kNeedsCalibration);
        return SANE_STATUS_INVAL;
    }
    const bool firstOfSession = !sessionOpen_;
    if (!firstOfSession && needFeed_) {
        // The sheet before this one has been scanned: bring the next one in, and end the batch
        // when there is none.
        if (driver_->ScanFeedPaper() != 0) return failure("feeding the next sheet");
        int32_t empty = 1;
        if (driver_->ScanPaperEmpty(&empty) != 0) return failure("checking for paper");
        if (empty != 0) {
            endSession();
            return SANE_STATUS_NO_DOCS;
        }
        needFeed_ = false;
    }
    window_ = options_.window();
    if (firstOfSession) {
        if (!writeToneCurve()) {
            Say(std::string(tone::kCannotWriteCurveFile) + " (" + tempDir_ + ")");
            return SANE_STATUS_IO_ERROR;
        }
        setScanFlag(true);
    }
    if (!setRequest(0)) return failure("setting up the scan");
    if (driver_->ScanStart() != 0) return failure("starting the scanner");
    sessionOpen_ = true;
    if (firstOfSession) {
        if (needFeed_ && driver_->ScanFeedPaper() != 0) return failure("feeding the first sheet");
        needFeed_ = false;
        int32_t empty = 1;
        if (driver_->ScanPaperEmpty(&empty) != 0) return failure("checking for paper");
        if (empty != 0) {
            endSession();
            return SANE_STATUS_NO_DOCS;
        }
    }
    return acquireSheet();
}

SANE_Status Backend::acquireSheet() {
    ScanRequest r{};
    ScanInfo info{};
    if (driver_->ScanGetScanParams(&r) != 0) return failure("setting up the scan");
    driver_->ScanGetScanInfo(&info);
    DriverPage page;
    page.lineart = r.pixelType == 0;
    page.width = r.res != 0 ? r.imageWidth : r.scanRectRight - r.scanRectLeft;
    page.height = r.res != 0 ? r.imageHeight : r.scanRectBottom - r.scanRectTop;
    const int64_t bytes = int64_t{DriverRowBytes(page.width, page.lineart)} * page.height;
    if (page.width <= 0 || page.height <= 0 || bytes <= 0 || bytes > (int64_t{1} << 30)) {
        return failure("sizing the page");
    }
    // The whole sheet is read while sane_start runs: the driver's reads block until the scanner
    // has the lines, and a sheet in the rollers must be taken through in one go anyway.
    page.rows.assign(static_cast<std::size_t>(bytes), 0);
    int64_t offset = 0;
    while (offset < bytes) {
        int32_t got = 0;
        const int32_t ask = static_cast<int32_t>(std::min<int64_t>(65536, bytes - offset));
        const int32_t result = driver_->ScanRead(page.rows.data() + offset, ask, &got);
        if (cancelRequested_.load()) {
            endSession();
            return SANE_STATUS_CANCELLED;
        }
        if (result != 0 && result != 2) return failure("reading the sheet");
        offset += std::clamp<int32_t>(got, 0, ask);
        if (result == 2) break;
    }
    needFeed_ = true;
    frame_ = ToSaneFrame(page, window_.pixelsPerLine(), window_.lines());
    frameOffset_ = 0;
    scanning_ = true;
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::read(SANE_Byte* data, SANE_Int max, SANE_Int* length) {
    if (length != nullptr) *length = 0;
    if (data == nullptr || length == nullptr || max < 0) return SANE_STATUS_INVAL;
    if (!scanning_) return cancelRequested_.load() ? SANE_STATUS_CANCELLED : SANE_STATUS_EOF;
    if (frameOffset_ >= frame_.size()) {
        // The frame is done; the session stays open for the next sheet of the batch.
        scanning_ = false;
        frame_.clear();
        return SANE_STATUS_EOF;
    }
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(max), frame_.size() - frameOffset_);
    std::memcpy(data, frame_.data() + frameOffset_, n);
    frameOffset_ += n;
    *length = static_cast<SANE_Int>(n);
    return SANE_STATUS_GOOD;
}

void Backend::cancel() {
    // Stops the scanner and leaves it ready: the next sane_start begins a new session and feeds
    // the sheet after the one already scanned.
    cancelRequested_ = true;
    endSession();
}

SANE_Status Backend::calibrate() {
    if (sessionOpen_) return SANE_STATUS_DEVICE_BUSY;
    // Calibration measures the whole imaging width, grey, so that every later window is covered.
    window_ = ScanWindow{};
    window_.lineart = false;
    if (!setRequest(0)) return failure("setting up the calibration");
    Say("calibrating (about one minute)");
    if (driver_->ScanCalibration() != 0) return failure("calibrating");
    return SANE_STATUS_GOOD;
}

SANE_Status Backend::pageLoaded(SANE_Bool* loaded) {
    *loaded = SANE_FALSE;
    if (sessionOpen_) {
        *loaded = SANE_TRUE;
        return SANE_STATUS_GOOD;
    }
    // The paper check needs an open connection: start, look, and stop again.
    window_ = options_.window();
    if (!setRequest(0) || driver_->ScanStart() != 0) return failure("checking for paper");
    int32_t empty = 1;
    const int32_t rc = driver_->ScanPaperEmpty(&empty);
    driver_->ScanStop();
    if (rc != 0) return failure("checking for paper");
    *loaded = empty == 0 ? SANE_TRUE : SANE_FALSE;
    return SANE_STATUS_GOOD;
}

}  // namespace mirt::sane_backend
