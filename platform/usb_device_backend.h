// Real scanners on USB through libusb: devices are listed with their manufacturer and product
// string descriptors and opened as raw pipes (bulk OUT 0x03, bulk IN 0x82).
#pragma once

#include <memory>

#include "platform/raw_pipe.h"

namespace ordavel::platform {

// A backend over every USB device this user may open. Null when libusb cannot be initialised.
std::shared_ptr<DeviceBackend> MakeUsbDeviceBackend();

}  // namespace ordavel::platform
