// The environment the shipped library runs in: the real clock (or the shared virtual scanner's
// scaled one), the system temporary directory and the device list with every device backend
// this build offers.
#pragma once

#include "platform/clock.h"

#include <memory>

#include "driver/interface/driver_context.h"

namespace ordavel::interface {

DriverEnvironment MakeProductionEnvironment();

// Adds the device backends of this build to the production device list.
// With a virtual clock, the in-process virtual scanner named by MIRT_VIRTUAL_SCANNER comes first.
void AddProductionDeviceBackends(platform::DeviceList& devices,
                                 const std::shared_ptr<platform::VirtualClock>& virtualClock);

}  // namespace ordavel::interface
