// mirt's exit codes: documented in the README, in `mirt --help` and in mirt(1).
#pragma once

#include <string>

#include "tools/common/driver_status.h"

namespace mirt {

enum ExitCode : int {
    kExitOk = 0,
    kExitDriverFailure = 1,      // the driver failed; its status text is shown
    kExitUsage = 2,              // bad command line
    kExitNoScanner = 3,          // the scanner was not found ("未发现 ... 设备")
    kExitPaperJam = 4,           // "塞纸": a sheet jammed or was cut short
    kExitCoverOpen = 5,          // "上盖打开"
    kExitCommunication = 6,      // "通信失败" and the transport's failures
    kExitNotCalibrated = 7,      // no stored calibration: insert the calibration sheet, `mirt calibrate`
    kExitOutput = 8,             // a page file could not be written, or the output is not usable
    kExitSetup = 9,              // the driver library or its files could not be prepared
    kExitCalibrationDamaged = 10,  // the stored calibration is incomplete or damaged: `mirt calibrate` again
    kExitNoPaper = 11,           // no sheet to scan: the feeder is empty (or, after sheets, its cover open)
    kExitOutOfMemory = 12,       // "内存不足"
    kExitBadRequest = 13,        // the driver refused the scan request (area, resolution)
    kExitNotReady = 14,          // `mirt status`: the scanner answers but no sheet is ready
    kExitNoAccess = 15,          // a scanner is attached that this user may not open (udev access: see the README)
    kExitInterrupted = 130,      // stopped by Ctrl-C or SIGTERM (the shells' 128 + SIGINT)
};

int ExitCodeFor(StatusClass statusClass);

// The exit code that a driver status text stands for (kExitDriverFailure when none matches).
int ExitCodeForStatus(const char* statusText);

// The same, but a failure to open or read the stored calibration ("打开扫描文件错误",
// "读扫描文件错误") is told apart by looking at the stored calibration in `tempDir` itself:
// kExitNotCalibrated when there is none, kExitCalibrationDamaged when it is damaged.
int ExitCodeForStatus(const char* statusText, const std::string& tempDir);

}  // namespace mirt
