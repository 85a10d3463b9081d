// The in-process virtual scanner as a device backend: the device list then offers the modelled
// scanner beside (and before) any real ones.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/raw_pipe.h"

namespace ordavel::virtual_scanner {

// A backend offering one virtual scanner described by the configuration file at `configPath`,
// running on `clock`. The scanner keeps its physical state (sheets, motor, registers) for the
// life of the backend, across opens and closes. Null when the configuration cannot be loaded
// (`error` then says why).
std::shared_ptr<platform::DeviceBackend> MakeVirtualScannerBackend(
    const std::string& configPath, std::shared_ptr<platform::VirtualClock> clock, std::string& error);

}  // namespace ordavel::virtual_scanner
