// Placeholder until the model lands.
#include "virtual/virtual_backend.h"

namespace ordavel::virtual_scanner {

std::shared_ptr<platform::DeviceBackend> MakeVirtualScannerBackend(
    const std::string&, std::shared_ptr<platform::VirtualClock>, std::string& error) {
    error = "the virtual scanner is not built";
    return nullptr;
}

}  // namespace ordavel::virtual_scanner
