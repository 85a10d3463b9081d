// The environment the shipped library runs in: the real clock, the system temporary directory
// and the device list with every device backend this build offers.
#pragma once

#include "driver/interface/driver_context.h"

namespace ordavel::interface {

DriverEnvironment MakeProductionEnvironment();

// Adds the device backends of this build to the production device list.
void AddProductionDeviceBackends(platform::DeviceList& devices);

}  // namespace ordavel::interface
