// The device list: devices of every backend, in backend order.
#include "platform/device_list.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace ordavel::platform {

// Internal names are qualified with the backend's position so open() finds the right backend.
namespace {
std::string qualify(std::size_t backend, const std::string& name) {
    return std::to_string(backend) + ":" + name;
}
}  // namespace

void DeviceList::addBackend(std::shared_ptr<DeviceBackend> backend) {
    backends_.push_back(std::move(backend));
}

std::vector<DeviceInfo> DeviceList::devices() {
    std::vector<DeviceInfo> all;
    for (std::size_t i = 0; i < backends_.size(); ++i) {
        for (DeviceInfo info : backends_[i]->devices()) {
            info.internalName = qualify(i, info.internalName);
            all.push_back(std::move(info));
        }
    }
    return all;
}

std::unique_ptr<RawPipe> DeviceList::open(const std::string& internalName) {
    const auto colon = internalName.find(':');
    if (colon == std::string::npos) return nullptr;
    std::size_t index = 0;
    try {
        index = std::stoul(internalName.substr(0, colon));
    } catch (...) {
        return nullptr;
    }
    if (index >= backends_.size()) return nullptr;
    return backends_[index]->open(internalName.substr(colon + 1));
}

bool HasUsbId(const DeviceInfo& device, std::span<const UsbDeviceId> ids) {
    if (device.usbId == UsbDeviceId{}) return false;
    return std::find(ids.begin(), ids.end(), device.usbId) != ids.end();
}

std::string UsbIdText(UsbDeviceId id) {
    char text[10];
    std::snprintf(text, sizeof text, "%04x:%04x", id.vendor, id.product);
    return text;
}

}  // namespace ordavel::platform
