// Sending a register image to the chip in runs of consecutive registers, and the lone write of
// the paper-sensor configuration.
#include "driver/description/register_programming.h"
#include "driver/description/register_runs.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

namespace {

// The controller cannot run with a pixel clock faster than this product allows.
bool ClockCombinationValid(const RegisterImage& image) {
    const int32_t pixelRate = image[0x19] != 0 ? image[0x19] : 1;
    return image[0x08] * pixelRate >= 6;
}

// Registers the driver always sends as zero or fixed, whatever the caller left there.
void ClearReservedRegisters(RegisterImage& image) {
    image[0x28] = 0;
    for (int reg = 0x5F; reg < kRegisterCount; ++reg) image[reg] = 0;
    image[0x69] = 4;
}

bool SendRuns(DriverContext& ctx, const RegisterImage& image) {
    for (const RegisterRun& run : SplitIntoRuns(image, 3)) {
        if (!device::RawWrite(ctx, static_cast<uint8_t>(run.first), run.values, true)) {
            device::Report(ctx, "BulkOut failed! %02X", run.first);
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteRegisterImage(DriverContext& ctx, RegisterImage& image) {
    if (!ClockCombinationValid(image)) {
        device::Report(ctx, "Invalid clock/hpdi combination");
        return false;
    }
    ClearReservedRegisters(image);
    if (!device::WriteRegister(ctx, 0x18, 0x18)) return false;
    ctx.clock().sleep(2);
    // 0x20 holds the controller still while its registers change.
    if (!device::WriteRegister(ctx, 0x07, 0x20)) return false;
    if (!SendRuns(ctx, image)) return false;
    return device::WriteRegister(ctx, 0x07, 0x00);
}

bool WritePaperSensorConfig(DriverContext& ctx) {
    return device::WriteRegister(ctx, 0x58, PaperSensorConfigValue(ctx));
}

}  // namespace ordavel::description
