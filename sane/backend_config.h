// mirt.conf: which scanners the backend offers and where its driver is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/raw_pipe.h"

namespace mirt::sane_backend {

using UsbId = ordavel::platform::UsbDeviceId;

struct BackendConfig {
    // "usb 0xVVVV 0xPPPP": when there are any, the backend offers only USB scanners with one of
    // these identifiers; a scanner must also carry the description's strings, which the driver
    // opens it by. With none, the strings alone decide, so an attached scanner needs no line.
    std::vector<UsbId> usbIds;
    std::vector<std::string> virtualScanners;  // "virtual PATH"
    std::string driverPath;                    // "driver PATH"
};

// Parses the text of a configuration file: one statement a line, '#' starts a comment, blank
// lines ignored, unknown lines skipped (a newer file still works with this backend).
BackendConfig ParseBackendConfig(const std::string& text);

// The folders SANE frontends look in for configuration files: SANE_CONFIG_DIR (a ':' list; a
// trailing ':' adds the default folders after it) and then "." and /etc/sane.d.
std::vector<std::string> ConfigFolders(const std::string& saneConfigDir);

}  // namespace mirt::sane_backend
