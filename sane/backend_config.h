// mirt.conf: which scanners the backend offers and where its driver is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirt::sane_backend {

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
};

struct BackendConfig {
    std::vector<UsbId> usbIds;                 // "usb 0xVVVV 0xPPPP"
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
