// udev hardware-database entries that mark USB devices as scanners. Debian's SANE rules give
// every device the database marks with libsane_matched=yes to the seat's user (uaccess) and to
// the "scanner" group, so the driver opens the scanner's node without root.
#pragma once

#include <span>
#include <string>

#include "platform/raw_pipe.h"

namespace ordavel::platform {

// One entry per identifier, in order, each followed by a blank line:
//   usb:vF1D7p5C01*
//    libsane_matched=yes
// (the device's modalias begins with the identifiers in upper-case hexadecimal).
std::string ScannerHwdbEntries(std::span<const UsbDeviceId> ids);

}  // namespace ordavel::platform
