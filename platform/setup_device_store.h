// The POSIX device store: one small text file per installed or root-enumerated device (class,
// description, hardware identifiers, driver INF), and the USB devices present in sysfs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::platform {

struct DeviceRecord {
    std::string instanceId;   // "ROOT\PORTS\0000", "USB\VID_F1D7&PID_5C01\1-2"
    std::string className;
    std::string classGuid;    // text form
    std::string description;
    std::vector<std::string> hardwareIds;
    std::string driverInf;    // the stored INF installed on it; empty when none
    std::string sysfsName;    // the USB device's sysfs entry; empty for root-enumerated devices
};

class DeviceStore {
public:
    explicit DeviceStore(std::string directory) : directory_(std::move(directory)) {}

    std::vector<DeviceRecord> all() const;
    bool contains(const std::string& instanceId) const;
    // `exclusive`: fail with ERROR_DEVINST_ALREADY_EXISTS when the device is recorded already.
    bool write(const DeviceRecord& record, bool exclusive, uint32_t& error) const;
    bool remove(const std::string& instanceId, uint32_t& error) const;

private:
    std::string pathOf(const std::string& instanceId) const;
    std::string directory_;
};

// A USB device present in sysfs.
struct PresentUsbDevice {
    std::string sysfsName;
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::optional<uint16_t> revision;
    // "USB\VID_xxxx&PID_xxxx&REV_xxxx" (when the revision is known), then "USB\VID_xxxx&PID_xxxx".
    std::vector<std::string> hardwareIds() const;
    std::string instanceId() const;
};

// Every entry of <sysfs>/bus/usb/devices with readable idVendor and idProduct; other entries
// (interfaces, odd files) are skipped.
std::vector<PresentUsbDevice> PresentUsbDevices(const std::string& sysfsRoot);

}  // namespace ordavel::platform
