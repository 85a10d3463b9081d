// The production environment of the driver library.
#include "driver/interface/production_environment.h"

#include "platform/clock.h"
#include "platform/temp_dir.h"

namespace ordavel::interface {

void AddProductionDeviceBackends(platform::DeviceList& devices) {
    // Device backends (the virtual scanner, real USB devices) are added here, in the order the
    // transport should find their devices.
    (void)devices;
}

DriverEnvironment MakeProductionEnvironment() {
    DriverEnvironment env;
    env.clock = std::make_shared<platform::RealClock>();
    env.devices = std::make_shared<platform::DeviceList>();
    AddProductionDeviceBackends(*env.devices);
    env.tempDirectory = platform::SystemTemporaryDirectory();
    env.workingDirectory.clear();  // the process's current directory
    return env;
}

}  // namespace ordavel::interface
