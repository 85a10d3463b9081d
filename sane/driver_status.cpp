// The driver's status texts and the SANE status each stands for.
#include "sane/driver_status.h"

#include "tools/common/scanner_setup.h"

namespace mirt::sane_backend {

namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

DriverFailure ClassifyDriverStatus(const std::string& text, const std::string& tempDir) {
    DriverFailure f;
    const std::string own = text.empty() ? std::string() : " (" + text + ")";
    if (Has(text, "打开扫描文件错误") || Has(text, "读扫描文件错误")) {
        f.notCalibrated = InspectStoredCalibration(tempDir) != StoredCalibration::Usable;
    }
    if (f.notCalibrated) {
        f.status = kNotCalibratedStatus;
        f.explanation = std::string(kNeedsCalibration) + own;
    } else if (Has(text, "塞纸")) {
        f.status = SANE_STATUS_JAMMED;
        f.explanation = "paper jam" + own;
    } else if (Has(text, "上盖打开")) {
        f.status = SANE_STATUS_COVER_OPEN;
        f.explanation = "the cover is open" + own;
    } else if (Has(text, "内存不足")) {
        f.status = SANE_STATUS_NO_MEM;
        f.explanation = "out of memory" + own;
    } else {
        f.status = SANE_STATUS_IO_ERROR;
        f.explanation = text.empty() ? "the driver reported a failure" : "the scanner failed" + own;
    }
    return f;
}

}  // namespace mirt::sane_backend
