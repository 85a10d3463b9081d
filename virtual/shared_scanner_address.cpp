// Naming the socket of a configuration.
#include "virtual/shared_scanner_address.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "platform/local_socket.h"

namespace ordavel::virtual_scanner {

namespace {

// FNV-1a, 64 bits: short, stable across builds, and a collision needs two configuration paths
// of one user hashing alike.
uint64_t PathHash(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

bool SharedScannerAddressFor(const std::string& configPath, SharedScannerAddress& address, std::string& error) {
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(configPath, ec);
    if (ec) {
        error = configPath + ": " + ec.message();
        return false;
    }
    std::string folder;
    if (!platform::PrivateRuntimeFolder("mirt-virtual", folder, error)) return false;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(PathHash(canonical.string())));
    address.configPath = canonical.string();
    address.socketPath = folder + "/" + name + ".sock";
    address.lockPath = folder + "/" + name + ".lock";
    if (address.socketPath.size() > platform::MaxLocalSocketPath()) {
        error = "the runtime folder's path is too long for a socket: " + address.socketPath;
        return false;
    }
    return true;
}

}  // namespace ordavel::virtual_scanner
