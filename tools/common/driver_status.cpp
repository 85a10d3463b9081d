// The driver's status texts, classified and put into English.
#include "tools/common/driver_status.h"

#include <cstdint>

#include "driver/calibration/stored_calibration.h"
#include "platform/status_text.h"

namespace mirt {

namespace {

// One driver text. `pattern` is the text with at most one '*' standing for what the driver
// filled in (a path, a device name, register values); `english` repeats that part where it has
// "{}". English texts of the driver's own (the transport's, the description's) are matched by
// their fixed beginning and shown as they are.
struct KnownText {
    const char* pattern;
    StatusClass statusClass;
    const char* english;
};

constexpr KnownText kKnownTexts[] = {
    // Progress and success.
    {"扫描仪准备好", StatusClass::Ok, "scanner ready"},
    {"扫描中...", StatusClass::Ok, "scanning"},
    {"扫描完成", StatusClass::Ok, "scan finished"},
    {"扫描下一张", StatusClass::Ok, "the next sheet is ready"},
    {"开始校正", StatusClass::Ok, "calibration starts"},
    {"校正中(大约需要1分钟)...", StatusClass::Ok, "calibrating (about one minute)"},
    // The scanner and the paper path.
    {"未发现 * 设备", StatusClass::NoScanner, "scanner \"{}\" not found"},
    {"塞纸或上盖打开", StatusClass::PaperJam, "paper jam or cover open"},
    {"塞纸", StatusClass::PaperJam, "paper jam"},
    {"上盖打开", StatusClass::CoverOpen, "cover open"},
    {"通信失败", StatusClass::Communication, "communication with the scanner failed"},
    {"Write Register failed!*", StatusClass::Communication, "communication with the scanner failed"},
    {"Read Register failed!*", StatusClass::Communication, "communication with the scanner failed"},
    {"Bulk Out failed!*", StatusClass::Communication, "communication with the scanner failed"},
    {"BulkOut failed!*", StatusClass::Communication, "communication with the scanner failed"},
    {"BulkIn failed!*", StatusClass::Communication, "communication with the scanner failed"},
    {"Verify error:*", StatusClass::Communication, "communication with the scanner failed"},
    // The stored calibration a scan needs.
    {"打开扫描文件错误!", StatusClass::NotCalibrated, "the scanner is not calibrated"},
    {"打开扫描文件错误", StatusClass::NotCalibrated, "the scanner is not calibrated"},
    {"读扫描文件错误", StatusClass::NotCalibrated, "the scanner is not calibrated"},
    // Calibration itself.
    {"读像素文件错误!", StatusClass::Other, "cannot read the calibration scan"},
    {"图像太亮!", StatusClass::Other, "calibration failed: the image is too bright"},
    {"图像太黑，无法校正!", StatusClass::Other, "calibration failed: the image is too dark"},
    {"无法校正，请更换校正纸!", StatusClass::Other, "calibration failed: replace the calibration sheet"},
    // Memory.
    {"内存不足!", StatusClass::OutOfMemory, "out of memory"},
    {"内存不足", StatusClass::OutOfMemory, "out of memory"},
    // Requests the driver refused.
    {"扫描宽度超界", StatusClass::BadRequest, "the scan width is out of range"},
    {"图像尺寸太大", StatusClass::BadRequest, "the image size is too large"},
    {"Scan window outside the bed*", StatusClass::BadRequest, "the scan area is not on the bed"},
    {"Scan resolution out of range*", StatusClass::BadRequest, "the resolution is out of range"},
    {"Enlarged image larger than the bed*", StatusClass::BadRequest, "the enlarged image is larger than the bed"},
    {"Cannot deliver enlarged image*", StatusClass::BadRequest, "the enlarged image cannot be delivered"},
    {"ScanRead *", StatusClass::BadRequest, "the image was read wrongly"},
    // Files.
    {"写文件错误!", StatusClass::Other, "cannot write the scan's work file"},
    {"写文件错误: *", StatusClass::Other, "cannot write {}"},
    {"打开文件错误: *", StatusClass::Other, "cannot open {}"},
    {"扫描文件被其他程序占用: *", StatusClass::Other, "the scanner's files are in use by another program: {}"},
    {"扫描文件被其他程序占用", StatusClass::Other, "the scanner's files are in use by another program"},
};

constexpr const char* kUnknownFailure = "the driver reported a failure";

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 0x7F) return false;
    }
    return true;
}

// True when `text` matches `pattern`; `filled` gets what the '*' stood for.
bool Matches(std::string_view pattern, std::string_view text, std::string_view& filled) {
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) {
        filled = {};
        return text == pattern;
    }
    const std::string_view head = pattern.substr(0, star);
    const std::string_view tail = pattern.substr(star + 1);
    if (text.size() < head.size() + tail.size()) return false;
    if (text.substr(0, head.size()) != head || text.substr(text.size() - tail.size()) != tail) return false;
    filled = text.substr(head.size(), text.size() - head.size() - tail.size());
    return true;
}

std::string Fill(std::string_view english, std::string_view filled) {
    std::string text(english);
    if (const std::size_t at = text.find("{}"); at != std::string::npos) text.replace(at, 2, filled);
    return text;
}

}  // namespace

std::string DriverStatus::message() const {
    if (driverText.empty() || driverText == english) return english;
    return english + " (" + driverText + ")";
}

// The driver's texts arrive in the system's status-text encoding (GBK on Windows). They are
// matched in UTF-8, the encoding of the table, and what the English repeats of them goes back
// into the system's encoding, the one the rest of the program's output is in.
DriverStatus DescribeDriverStatus(std::string_view statusText) {
    DriverStatus status;
    status.driverText = std::string(statusText);
    if (statusText.empty()) {
        status.statusClass = StatusClass::Other;
        status.english = kUnknownFailure;
        return status;
    }
    const std::string utf8 = ordavel::platform::DecodeStatusText(statusText);
    for (const KnownText& known : kKnownTexts) {
        std::string_view filled;
        if (!Matches(known.pattern, utf8, filled)) continue;
        status.statusClass = known.statusClass;
        status.english = ordavel::platform::EncodeStatusText(Fill(known.english, filled), SIZE_MAX);
        return status;
    }
    // The description's and other English diagnostics say what is wrong on their own.
    status.statusClass = StatusClass::Other;
    status.english = IsAscii(statusText) ? status.driverText : kUnknownFailure;
    return status;
}

DriverStatus RefineWithCalibration(DriverStatus status, const std::string& tempDir) {
    if (status.statusClass != StatusClass::NotCalibrated) return status;
    using ordavel::calibration::StoredCalibration;
    switch (ordavel::calibration::InspectStoredCalibration(tempDir)) {
        case StoredCalibration::NotCalibrated:
            break;
        case StoredCalibration::Damaged:
            status.statusClass = StatusClass::CalibrationDamaged;
            status.english = "the stored calibration is damaged";
            break;
        case StoredCalibration::Usable:
            // Stored and whole, yet the driver could not read it: calibrating again writes it
            // anew, so the advice stays the same.
            break;
    }
    return status;
}

DriverStatus FeederEmptyOrCoverOpen(DriverStatus status) {
    if (status.statusClass != StatusClass::CoverOpen) return status;
    status.english = "feeder empty or cover open";
    return status;
}

const char* StatusClassName(StatusClass statusClass) {
    switch (statusClass) {
        case StatusClass::Ok: return "ok";
        case StatusClass::NoScanner: return "no-scanner";
        case StatusClass::PaperJam: return "paper-jam";
        case StatusClass::CoverOpen: return "cover-open";
        case StatusClass::FeederEmpty: return "feeder-empty";
        case StatusClass::Communication: return "communication";
        case StatusClass::NotCalibrated: return "not-calibrated";
        case StatusClass::CalibrationDamaged: return "calibration-damaged";
        case StatusClass::OutOfMemory: return "out-of-memory";
        case StatusClass::BadRequest: return "bad-request";
        case StatusClass::Other: return "other";
    }
    return "other";
}

}  // namespace mirt
