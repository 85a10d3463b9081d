// Writing a file calibration leaves for later scans ("cr.dat", a black line file): created anew
// for its owner only, with the messages the driver reports when that fails.
#pragma once

#include <cstdio>
#include <functional>

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// Creates the temporary-directory file `name` anew and lets `write` fill it. Reports "打开文件错误: %s"
// when it cannot be created and "写文件错误: %s" when `write` or the close fails; neither fails
// the calibration, so nothing is returned.
void WriteCalibrationFile(DriverContext& ctx, const char* name, const std::function<bool(std::FILE*)>& write);

}  // namespace ordavel::calibration
