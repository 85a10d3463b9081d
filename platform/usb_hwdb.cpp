// The scanners' hardware-database entries.
#include "platform/usb_hwdb.h"

#include <cstdio>

namespace ordavel::platform {

std::string ScannerHwdbEntries(std::span<const UsbDeviceId> ids) {
    std::string text;
    for (const UsbDeviceId& id : ids) {
        char match[24];
        std::snprintf(match, sizeof match, "usb:v%04Xp%04X*\n", id.vendor, id.product);
        text += match;
        text += " libsane_matched=yes\n\n";
    }
    return text;
}

}  // namespace ordavel::platform
