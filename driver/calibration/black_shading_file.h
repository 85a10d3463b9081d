// The black line file "BlackFINE.PXL" written by the driver itself when no black strip was
// measured, so that later scans reload the offset table the controller was actually given.
#pragma once

#include <cstdint>
#include <string>

namespace ordavel {
class DriverContext;
}

namespace ordavel::calibration {

// The contents: a work-file header and one line (one record per colour in line-interleaved mode)
// of `pixels` pixels in the given colour mode, every sample the coarse channel minimum of its
// colour (limited to 0..0xffff), followed by the 2 unused bytes of each record.
std::string ChannelMinimumBlackLine(int32_t pixels, int32_t colourMode, const int32_t (&minimum)[3],
                                    int32_t xResolution, int32_t yResolution);

// Writes "BlackFINE.PXL" (staged, as every file of the set) with that line for the engine's
// pixels per line. False after reporting "打开文件错误: %s" or "写文件错误: %s".
bool WriteChannelMinimumBlackFile(DriverContext& ctx);

}  // namespace ordavel::calibration
