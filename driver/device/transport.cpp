// Placeholder: this layer is not built yet. Every operation reports and fails.
#include "driver/device/transport.h"

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::device {

bool Open(DriverContext& ctx, const std::u16string&, const std::u16string&) {
    Report(ctx, "not supported by this build");
    return false;
}

bool Close(DriverContext& ctx) {
    Report(ctx, "not supported by this build");
    return false;
}

bool IsOpen(const DriverContext&) {
    return false;
}

bool RawWrite(DriverContext& ctx, uint8_t, std::span<const uint8_t>, bool) {
    Report(ctx, "not supported by this build");
    return false;
}

bool RawRead(DriverContext& ctx, uint8_t, std::span<uint8_t>, bool, int32_t*) {
    Report(ctx, "not supported by this build");
    return false;
}

bool WriteRegister(DriverContext& ctx, uint8_t, uint8_t) {
    Report(ctx, "not supported by this build");
    return false;
}

bool ReadRegister(DriverContext& ctx, uint8_t, uint8_t&) {
    Report(ctx, "not supported by this build");
    return false;
}

bool SendBlock(DriverContext& ctx, uint8_t, std::span<const uint8_t>) {
    Report(ctx, "not supported by this build");
    return false;
}

bool ReadBlock(DriverContext& ctx, uint8_t, std::span<uint8_t>) {
    Report(ctx, "not supported by this build");
    return false;
}

bool ReadRegisterBlock(DriverContext& ctx, description::RegisterImage&) {
    Report(ctx, "not supported by this build");
    return false;
}

}  // namespace ordavel::device
