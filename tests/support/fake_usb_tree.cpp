// The scratch USB device tree.
#include "tests/support/fake_usb_tree.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace ordavel::test {

namespace fs = std::filesystem;

bool PlugInUsbDevice(const std::string& root, uint16_t vendor, uint16_t product, unsigned address, unsigned nodeMode) {
    const fs::path device = fs::path(root) / "sys" / "bus" / "usb" / "devices" / ("1-" + std::to_string(address));
    fs::create_directories(device);
    char text[16];
    std::snprintf(text, sizeof text, "%04x\n", vendor);
    std::ofstream(device / "idVendor") << text;
    std::snprintf(text, sizeof text, "%04x\n", product);
    std::ofstream(device / "idProduct") << text;
    std::ofstream(device / "busnum") << "1\n";
    std::ofstream(device / "devnum") << address << "\n";
    std::snprintf(text, sizeof text, "%03u", address);
    const fs::path node = fs::path(root) / "dev" / "bus" / "usb" / "001" / text;
    fs::create_directories(node.parent_path());
    return ::mknod(node.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0 && ::chmod(node.c_str(), nodeMode) == 0;
}

std::string UsbTreeEnvironment(const std::string& root) {
    return "MIRT_SYSFS='" + root + "/sys' MIRT_DEVICE_NODES='" + root + "/dev' MIRT_UDEV_RULES_DIR='" + root +
           "/rules.d' MIRT_UDEV_HWDB_DIR='" + root + "/hwdb.d'";
}

}  // namespace ordavel::test
