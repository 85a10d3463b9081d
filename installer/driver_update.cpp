// Operations 1, 2 and 5: install the package's driver for a present device, or stage its INF so
// the device gets it when it is plugged in.
#include <array>
#include <span>
#include <string>
#include <vector>

#include "mirt_usb_ids.h"
#include "installer/log_lines.h"
#include "installer/operations.h"
#include "platform/setup_errors.h"

namespace installer {

namespace {

namespace ps = ordavel::platform;

struct Package {
    const char* infName;
    const char* noDeviceLine;
    std::vector<std::string> hardwareIds;
};

Package PackageOf(UpdatePackage package) {
    const std::vector<std::string> bulkDevices = MIRT_BULK_DEVICE_HARDWARE_IDS;
    switch (package) {
        case UpdatePackage::SerialPort: return {"USBVCOM.INF", log_lines::kNoDeviceSerial, bulkDevices};
        case UpdatePackage::BulkUsb: return {"BULKUSB.INF", log_lines::kNoDeviceBulk, bulkDevices};
        case UpdatePackage::Scanner: break;
    }
    return {"Mirt_XP.INF", log_lines::kNoDeviceScanner, {MIRT_SCANNER_HARDWARE_ID}};
}

}  // namespace

bool UpdateOrPreinstall(UpdatePackage which, InstallerContext& ctx) {
    const Package package = PackageOf(which);
    const std::string infPath = JoinPath(ctx.installerDirectory, package.infName);
    ctx.output.logLine(log_lines::kInstallStart);

    bool updated = false;
    for (const auto& id : package.hardwareIds) {
        updated = ctx.setup.UpdateDriverForPlugAndPlayDevicesA(ctx.window, id, infPath, ps::kInstallFlagForce);
        if (updated) break;
    }
    // A last call that failed without saying why counts as done.
    if (updated || ctx.setup.GetLastError() == 0) {
        ctx.output.logLine(log_lines::kDeviceFound);
        return true;
    }

    ctx.output.logLine(package.noDeviceLine);
    // The buffer starts empty: a copy that fails without naming a stored INF logs no name.
    std::array<char, 200> destination{};
    const bool copied = ctx.setup.SetupCopyOEMInfA(infPath, ctx.installerDirectory, ps::kSourceMediaPath,
                                                   ps::kCopyNoOverwrite, destination, nullptr);
    // Told not to overwrite, the copy fails for an INF already stored, and still names it.
    const bool staged = copied || ctx.setup.GetLastError() == ps::setup_error::kFileExists;
    destination.back() = '\0';
    if (destination[0] != '\0') ctx.output.logLine(destination.data());
    return staged;
}

}  // namespace installer
