// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/description/register_programming.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

bool InitUSB(DriverContext& ctx, bool) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool BuildRegisterImage(DriverContext& ctx, RegisterImage&, bool) {
    device::Report(ctx, "not supported by this build");
    return false;
}

bool WriteRegisterImage(DriverContext& ctx, RegisterImage&) {
    device::Report(ctx, "not supported by this build");
    return false;
}

int32_t ComputeLinePeriod(DriverContext&, RegisterImage&, bool) {
    return 0;
}

int32_t SetStepSize(DriverContext&, RegisterImage&, int32_t) {
    return 0;
}

int32_t InitStepTiming(DriverContext&, RegisterImage&) {
    return 0;
}

int32_t ComputePauseLimit(DriverContext&, RegisterImage&) {
    return 0;
}

bool WritePaperSensorConfig(DriverContext& ctx) {
    device::Report(ctx, "not supported by this build");
    return false;
}

uint8_t PaperSensorConfigValue(const DriverContext&) {
    return 0;
}

int32_t ClockRegisterValue(int32_t) {
    return 0;
}

int32_t MemUnitsToBytes(const DriverContext&, int32_t) {
    return 0;
}

int32_t BytesToMemUnits(const DriverContext&, int32_t) {
    return 0;
}

}  // namespace ordavel::description
