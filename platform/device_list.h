// Picking devices of the device list by their USB identifiers: the scanner's own identifiers,
// those a configuration adds (a SANE backend's "usb 0xVVVV 0xPPPP" lines), and the text form
// people know them by from lsusb and udev ("f1d7:5c01").
#pragma once

#include <span>
#include <string>

#include "mirt_usb_ids.h"
#include "platform/raw_pipe.h"

namespace ordavel::platform {

// The scanner's identifiers as the project assigns them.
inline constexpr UsbDeviceId kScannerUsbId{MIRT_USB_VENDOR_ID, MIRT_SCANNER_PRODUCT_ID};

// True when the device carries one of `ids`; a device whose identifiers are unknown (0:0) carries
// none.
bool HasUsbId(const DeviceInfo& device, std::span<const UsbDeviceId> ids);

// "vvvv:pppp" in lower-case hexadecimal.
std::string UsbIdText(UsbDeviceId id);

}  // namespace ordavel::platform
