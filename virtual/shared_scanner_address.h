// Where the server of a virtual scanner configuration listens: a socket in the user's private
// runtime folder named from the configuration's canonical path, so every process of the user
// that names the same file (by any relative path or link) reaches the same device, two
// configurations are two devices, and two users never share one.
#pragma once

#include <string>

namespace ordavel::virtual_scanner {

struct SharedScannerAddress {
    std::string configPath;  // canonical
    std::string socketPath;
    std::string lockPath;    // held by the one server of the configuration
};

// False with `error` when the configuration does not exist or no private folder can be had.
bool SharedScannerAddressFor(const std::string& configPath, SharedScannerAddress& address, std::string& error);

}  // namespace ordavel::virtual_scanner
