// The in-process virtual scanner as a device backend: the device list then offers the modelled
// scanner beside (and before) any real ones.
#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/raw_pipe.h"

namespace ordavel::virtual_scanner {

class VirtualScanner;

// A backend offering one virtual scanner described by the configuration file at `configPath`,
// running on `clock`. The scanner keeps its physical state (sheets, motor, registers) for the
// life of the backend, across opens and closes. Null when the configuration cannot be loaded
// (`error` then says why).
std::shared_ptr<platform::DeviceBackend> MakeVirtualScannerBackend(
    const std::string& configPath, std::shared_ptr<platform::VirtualClock> clock, std::string& error);

// The scanner of a configuration file, for callers that also want to watch it or script faults.
std::shared_ptr<VirtualScanner> LoadVirtualScanner(const std::string& configPath,
                                                   std::shared_ptr<platform::VirtualClock> clock, std::string& error);

// UTF-8 to UTF-16, as the USB string descriptors carry the names; malformed bytes become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

// A backend offering an existing scanner. Its one device is listed while the scanner is present
// (not disconnected); every open gives a new raw pipe onto the same scanner.
std::shared_ptr<platform::DeviceBackend> MakeVirtualScannerBackend(std::shared_ptr<VirtualScanner> scanner);

}  // namespace ordavel::virtual_scanner
