// Writing a file calibration leaves for later scans ("cr.dat", a black line file): created anew
// for its owner only under its staged name (calibration_set.h), with the messages the driver
// reports when that fails.
#pragma once

#include <cstdio>
#include <functional>

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// Creates the staged file of the set's file `name` anew and lets `write` fill it. Reports
// "打开文件错误: %s" when it cannot be created and "写文件错误: %s" when `write` or the close
// fails, and returns false: a set missing one file must not replace a complete one, so the
// calibration fails (and the earlier set stays in use).
bool WriteCalibrationFile(DriverContext& ctx, const char* name, const std::function<bool(std::FILE*)>& write);

}  // namespace ordavel::calibration
