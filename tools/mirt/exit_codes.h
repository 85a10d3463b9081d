// mirt's exit codes: documented in the README and in `mirt --help`.
#pragma once

#include <string>

namespace mirt {

enum ExitCode : int {
    kExitOk = 0,
    kExitDriverFailure = 1,      // the driver failed; its status text says why
    kExitUsage = 2,              // bad command line
    kExitNoScanner = 3,          // the scanner was not found ("未发现 ... 设备")
    kExitPaperJam = 4,           // "塞纸"
    kExitCoverOpen = 5,          // "上盖打开"
    kExitCommunication = 6,      // "通信失败"
    kExitNotCalibrated = 7,      // no stored calibration: insert the calibration sheet, `mirt calibrate`
    kExitOutput = 8,             // a page file could not be written
    kExitSetup = 9,              // the driver library or its files could not be prepared
    kExitCalibrationDamaged = 10,  // the stored calibration is incomplete or damaged: `mirt calibrate` again
};

// The exit code that a driver status text stands for (kExitDriverFailure when none matches).
int ExitCodeForStatus(const char* statusText);

// The same, but a failure to open or read the stored calibration ("打开扫描文件错误",
// "读扫描文件错误") is told apart by looking at the stored calibration in `tempDir` itself:
// kExitNotCalibrated when there is none, kExitCalibrationDamaged when it is damaged.
int ExitCodeForStatus(const char* statusText, const std::string& tempDir);

}  // namespace mirt
