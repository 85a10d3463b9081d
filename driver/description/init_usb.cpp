// Device initialisation at the start of every scan set-up: settings, opening the scanner, the
// first complete programming and the lamp warm-up wait.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "driver/description/device_name_text.h"
#include "driver/description/register_programming.h"
#include "driver/device/status_report.h"
#include "driver/device/transport.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::description {

namespace {

constexpr int32_t kDefaultScanBufferMBytes = 8;
constexpr uint32_t kLampWarmUpMs = 10000;

bool SettingsFileReadable(DriverContext& ctx, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        device::Report(ctx, "%s not found", path.c_str());
        return false;
    }
    if (std::fclose(file) != 0) {
        device::Report(ctx, "%s cannot be closed", path.c_str());
        return false;
    }
    return true;
}

void ReadDriverSettings(DriverContext& ctx, const std::string& path) {
    const int32_t debug = platform::ReadProfileInt(path, "SETUP", "Debug", 0);
    ctx.settings.debugLevel = debug;
    ctx.record.verifyWrites = debug;

    int32_t mbytes = platform::ReadProfileInt(path, "SETUP", "Scan_Buffer_MBytes", 0);
    if (mbytes == 0) {
        mbytes = kDefaultScanBufferMBytes;
        platform::WriteProfileString(path, "SETUP", "Scan_Buffer_MBytes", "8");
    }
    if (mbytes > 128 || mbytes < 1) {
        device::Report(ctx, "Scan_Buffer_MBytes must be 1 to 128");
        mbytes = kDefaultScanBufferMBytes;
    }
    ctx.settings.scanBufferBytes = mbytes * 1048576;
}

// A text field of the description up to its terminator, never past the field's end.
std::string_view FieldText(const char (&field)[kTextFieldSize]) {
    return std::string_view(field, static_cast<std::size_t>(std::find(field, field + kTextFieldSize, '\0') - field));
}

bool OpenScanner(DriverContext& ctx) {
    const std::string_view vendorName = FieldText(ctx.description.USB_Manufacturer);
    const std::string_view deviceName = FieldText(ctx.description.USB_Device);
    std::u16string vendor;
    std::u16string device;
    if (!DeviceNameToUtf16(vendorName, vendor) || !DeviceNameToUtf16(deviceName, device) ||
        !device::Open(ctx, vendor, device)) {
        device::Report(ctx, "未发现 %.*s 设备", static_cast<int>(deviceName.size()), deviceName.data());
        return false;
    }
    return true;
}

// With lamp mode 1 a lamp register reading 0 means the lamp was off and needs warming up.
bool NoteLampOff(DriverContext& ctx) {
    if (ctx.description.Illumination_Mode != 1) return true;
    uint8_t lamp = 0;
    if (!device::ReadRegister(ctx, 0x29, lamp)) return false;
    if (lamp == 0) ctx.settings.lampWasOff = true;
    return true;
}

}  // namespace

bool InitUSB(DriverContext& ctx, bool warmupAllowed) {
    ctx.description.clockDividerSetting = kClockDividerSetting;
    const std::string settings = ctx.TempFilePath("Mirt.def");
    if (!SettingsFileReadable(ctx, settings)) return false;
    ReadDriverSettings(ctx, settings);
    if (!OpenScanner(ctx)) return false;

    RegisterImage image;
    if (!BuildRegisterImage(ctx, image, false)) return false;
    InitStepTiming(ctx, image);
    if (!NoteLampOff(ctx)) return false;
    if (!WriteRegisterImage(ctx, image)) return false;

    // The flag outlives a run that may not wait, so the next final set-up still warms up.
    if (warmupAllowed && ctx.settings.lampWasOff) {
        ctx.clock().sleep(kLampWarmUpMs);
        ctx.settings.lampWasOff = false;
    }
    return true;
}

}  // namespace ordavel::description
