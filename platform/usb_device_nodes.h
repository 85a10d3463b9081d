// The USB devices present on the machine as the system's device tree shows them, with their
// device nodes, and the device manager's access set-up for them: what tells a scanner this user
// may not open apart from no scanner at all, and a machine where a scanner was set up from one
// that never had one.
//
// Read from the Linux device tree (sysfs) and udev's administrator folders; on a system without
// them every answer is "none".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ordavel::platform {

// Variables that move the roots, for tests and unusual systems.
inline constexpr const char* kSysfsVariable = "MIRT_SYSFS";             // default /sys
inline constexpr const char* kDeviceNodesVariable = "MIRT_DEVICE_NODES";  // default /dev
inline constexpr const char* kUdevRulesVariable = "MIRT_UDEV_RULES_DIR";  // default /etc/udev/rules.d
inline constexpr const char* kUdevHwdbVariable = "MIRT_UDEV_HWDB_DIR";    // default /etc/udev/hwdb.d

struct UsbDeviceNode {
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string nodePath;  // "/dev/bus/usb/001/004"
    bool openable = false;  // this user may open the node for reading and writing, as libusb does
};

// The USB devices of <sysfs>/bus/usb/devices with these identifiers and a readable bus address.
// Only their nodes are opened to try them: opening a node wakes a suspended device, which other
// devices are spared.
std::vector<UsbDeviceNode> PresentUsbDeviceNodes(uint16_t vendor, uint16_t product);

// True when the administrator has set the device manager up for the device: a udev rule
// (<rules>/*.rules) or hardware database entry (<hwdb>/*.hwdb) that names its vendor and
// product identifiers. These folders are the administrator's (packages put theirs under /usr),
// so a file there is a scanner set up on this machine, for every user.
bool UsbAccessConfigured(uint16_t vendor, uint16_t product);

}  // namespace ordavel::platform
