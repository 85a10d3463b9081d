// Present USB devices and their access set-up, read with the standard library's file facilities
// so the same code serves every system (where the folders are missing, nothing is found).
#include "platform/usb_device_nodes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/process.h"

namespace ordavel::platform {

namespace fs = std::filesystem;

namespace {

std::string RootOr(const char* variable, const char* fallback) {
    std::string value = GetEnvironment(variable);
    return value.empty() ? fallback : value;
}

// The first line of a small sysfs attribute file.
std::string Attribute(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

std::optional<unsigned> Number(const std::string& text, int base) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool AnyFileNames(const std::string& folder, const char* extension, const std::string& vendor, const std::string& product) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != extension || !it->is_regular_file(ec)) continue;
        std::ifstream in(it->path(), std::ios::binary);
        const std::string text = Lower(std::string(std::istreambuf_iterator<char>(in), {}));
        if (text.find(vendor) != std::string::npos && text.find(product) != std::string::npos) return true;
    }
    return false;
}

std::string Hex4(uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

}  // namespace

std::vector<UsbDeviceNode> PresentUsbDeviceNodes(uint16_t vendor, uint16_t product) {
    const fs::path devices = fs::path(RootOr(kSysfsVariable, "/sys")) / "bus" / "usb" / "devices";
    const std::string nodes = RootOr(kDeviceNodesVariable, "/dev");
    std::vector<UsbDeviceNode> found;
    std::error_code ec;
    for (fs::directory_iterator it(devices, ec), end; !ec && it != end; it.increment(ec)) {
        if (Number(Attribute(it->path() / "idVendor"), 16) != vendor ||
            Number(Attribute(it->path() / "idProduct"), 16) != product) {
            continue;
        }
        const auto bus = Number(Attribute(it->path() / "busnum"), 10);
        const auto address = Number(Attribute(it->path() / "devnum"), 10);
        if (!bus || !address) continue;
        UsbDeviceNode node;
        node.vendor = vendor;
        node.product = product;
        char relative[32];
        std::snprintf(relative, sizeof relative, "/bus/usb/%03u/%03u", *bus, *address);
        node.nodePath = nodes + relative;
        // Opened as libusb opens it; opening a usbfs node claims nothing.
        std::fstream probe(node.nodePath, std::ios::in | std::ios::out | std::ios::binary);
        node.openable = probe.is_open();
        found.push_back(std::move(node));
    }
    std::sort(found.begin(), found.end(), [](const UsbDeviceNode& a, const UsbDeviceNode& b) { return a.nodePath < b.nodePath; });
    return found;
}

bool UsbAccessConfigured(uint16_t vendor, uint16_t product) {
    const std::string v = Hex4(vendor), p = Hex4(product);
    return AnyFileNames(RootOr(kUdevRulesVariable, "/etc/udev/rules.d"), ".rules", v, p) ||
           AnyFileNames(RootOr(kUdevHwdbVariable, "/etc/udev/hwdb.d"), ".hwdb", v, p);
}

}  // namespace ordavel::platform
