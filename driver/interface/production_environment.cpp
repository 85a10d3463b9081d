// The production environment of the driver library: the system temporary directory and the
// device list. With MIRT_VIRTUAL_SCANNER naming a virtual scanner configuration, that scanner is
// listed first (so it is the one opened even when a real scanner of the same names is attached)
// and time is virtual, so a page costs no real time; otherwise time is real.
#include "driver/interface/production_environment.h"

#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/temp_dir.h"
#include "platform/usb_device_backend.h"
#include "virtual/virtual_backend.h"

namespace ordavel::interface {

namespace {

std::string VirtualScannerConfig() {
    const char* value = std::getenv("MIRT_VIRTUAL_SCANNER");
    return value != nullptr ? value : "";
}

}  // namespace

void AddProductionDeviceBackends(platform::DeviceList& devices,
                                 const std::shared_ptr<platform::VirtualClock>& virtualClock) {
    if (virtualClock) {
        std::string error;
        auto backend = virtual_scanner::MakeVirtualScannerBackend(VirtualScannerConfig(), virtualClock, error);
        if (backend) {
            devices.addBackend(std::move(backend));
        } else {
            // The user asked for this scanner explicitly; say why it is missing rather than
            // leaving only "device not found" later.
            std::fprintf(stderr, "Ordavel: virtual scanner %s: %s\n", VirtualScannerConfig().c_str(), error.c_str());
        }
    }
    if (auto usb = platform::MakeUsbDeviceBackend()) devices.addBackend(std::move(usb));
}

DriverEnvironment MakeProductionEnvironment() {
    DriverEnvironment env;
    std::shared_ptr<platform::VirtualClock> virtualClock;
    if (!VirtualScannerConfig().empty()) {
        virtualClock = std::make_shared<platform::VirtualClock>();
        env.clock = virtualClock;
    } else {
        env.clock = std::make_shared<platform::RealClock>();
    }
    env.devices = std::make_shared<platform::DeviceList>();
    AddProductionDeviceBackends(*env.devices, virtualClock);
    env.tempDirectory = platform::SystemTemporaryDirectory();
    env.workingDirectory.clear();  // the process's current directory
    return env;
}

}  // namespace ordavel::interface
