// Loading the scanner description named by "Mirt.def": the parser, the value syntax and the
// hardware summary with its resolution list.
#pragma once

#include <cstdint>
#include <string>

#include "ordavel.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::description {

// Re-reads "Mirt.def" and the description file, fills the description, the colour flag and the
// hardware summary. Reports and returns false on any failure.
bool LoadScannerDescription(DriverContext& ctx);
bool ParseScannerFile(DriverContext& ctx, const std::string& path, const ScanRequest& params);

// "0x.." hexadecimal (32-bit pattern) or decimal with optional sign; nothing but blanks after it.
bool ParseIntValue(const char* text, int32_t& value);
// One C floating-point number; nothing but blanks after it.
bool ParseFloatValue(const char* text, double& value);

}  // namespace ordavel::description
