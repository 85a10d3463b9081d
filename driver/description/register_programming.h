// Programming the controller: initialisation, the register image built from the description,
// its transfer to the chip, and the timing computations on an image.
#pragma once

#include <cstdint>

#include "driver/description/register_image.h"

namespace ordavel {
class DriverContext;
}

namespace ordavel::description {

bool InitUSB(DriverContext& ctx, bool warmupAllowed);
bool BuildRegisterImage(DriverContext& ctx, RegisterImage& image, bool calibrationPass);
bool WriteRegisterImage(DriverContext& ctx, RegisterImage& image);
int32_t ComputeLinePeriod(DriverContext& ctx, RegisterImage& image, bool withcm);
int32_t SetStepSize(DriverContext& ctx, RegisterImage& image, int32_t step);
int32_t InitStepTiming(DriverContext& ctx, RegisterImage& image);
int32_t ComputePauseLimit(DriverContext& ctx, RegisterImage& image);
bool WritePaperSensorConfig(DriverContext& ctx);
// Register 0x58 as the description configures it.
uint8_t PaperSensorConfigValue(const DriverContext& ctx);

int32_t ClockRegisterValue(int32_t dividerSetting);
int32_t MemUnitsToBytes(const DriverContext& ctx, int32_t units);
int32_t BytesToMemUnits(const DriverContext& ctx, int32_t bytes);

// The clock divider setting every set-up uses: half-units of the divider 6.0.
inline constexpr int32_t kClockDividerSetting = 12;
// The motor step size the driver always programs.
inline constexpr int32_t kScanStepSize = 503;

}  // namespace ordavel::description
