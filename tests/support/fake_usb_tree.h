// A machine's USB device tree and device nodes in a scratch folder, as the driver's tools read
// them (MIRT_SYSFS, MIRT_DEVICE_NODES): a device that is plugged in without a real one.
#pragma once

#include <cstdint>
#include <string>

namespace ordavel::test {

// Adds the device at bus 1, address `address` under `root` ("sys/bus/usb/devices/1-<address>" and
// the character node "dev/bus/usb/001/<address>", with the null device's numbers and mode
// `nodeMode`, root's); false when the node cannot be made (it needs root). Returns the
// environment assignments that point the tools at the tree.
bool PlugInUsbDevice(const std::string& root, uint16_t vendor, uint16_t product, unsigned address, unsigned nodeMode);
std::string UsbTreeEnvironment(const std::string& root);

}  // namespace ordavel::test
