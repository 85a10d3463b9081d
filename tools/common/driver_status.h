// What a driver status text means to a user: its class (what went wrong, for exit codes and
// SANE statuses) and an English text, shown with the driver's own text beside it so that
// nothing the driver said is lost ("塞纸" -> "paper jam (塞纸)").
#pragma once

#include <string>
#include <string_view>

namespace mirt {

enum class StatusClass {
    Ok,               // progress and success texts ("扫描完成", "扫描下一张", ...) or no text
    NoScanner,        // "未发现 ... 设备"
    PaperJam,         // "塞纸", and "塞纸或上盖打开" where the hardware cannot tell the two apart
    CoverOpen,        // "上盖打开"
    FeederEmpty,      // no sheet to scan (the front end's finding: the driver has no text for it)
    Communication,    // "通信失败" and the transport's register and bulk transfer failures
    NotCalibrated,    // the stored calibration cannot be opened or read
    CalibrationDamaged,  // the stored calibration is there but incomplete (see RefineWithCalibration)
    OutOfMemory,      // "内存不足"
    BadRequest,       // a scan request the driver refused (window, resolution, image size)
    Other,            // everything else: file errors, calibration sheet trouble, description errors
};

struct DriverStatus {
    StatusClass statusClass = StatusClass::Other;
    std::string english;     // the English text, with what the driver named (a path, a device) in it
    std::string driverText;  // the driver's own text, as it reported it

    // "english (driver text)"; the English alone when the driver's text is English already or
    // empty.
    std::string message() const;
};

// The class and English text of a driver status text, in the system's status-text encoding as the
// driver reports it (UTF-8 on POSIX, GBK on Windows); the English is in that encoding too. An
// unknown text is Other with the English "the driver reported a failure".
DriverStatus DescribeDriverStatus(std::string_view statusText);

// A calibration class refined by looking at the stored calibration in the driver's temporary
// directory: NotCalibrated when nothing usable is stored, CalibrationDamaged when part of it is.
DriverStatus RefineWithCalibration(DriverStatus status, const std::string& tempDir);

// The sensors read "no paper or cover open" on one input: a cover-open report from the feed that
// follows a scanned sheet may as well be the end of the stack. The status reworded so.
DriverStatus FeederEmptyOrCoverOpen(DriverStatus status);

// A one-word name of the class ("paper-jam"), for logs and tests.
const char* StatusClassName(StatusClass statusClass);

}  // namespace mirt
