// Real scanners on USB through libusb: devices are listed with their manufacturer and product
// string descriptors and opened as raw pipes (bulk OUT 0x03, bulk IN 0x82).
#pragma once

#include <memory>

#include "platform/raw_pipe.h"

namespace ordavel::platform {

// A backend over every USB device this user may open. libusb is started on the first listing
// (or open); when it cannot be, the backend lists no devices.
std::shared_ptr<DeviceBackend> MakeUsbDeviceBackend();

}  // namespace ordavel::platform
