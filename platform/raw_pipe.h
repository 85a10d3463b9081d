// Raw access to a scanner's USB pipes, and the list of devices that offer it.
//
// A RawPipe is what the driver's transport frames its controller commands over: a device lock
// with a timeout, a raw write (bulk OUT) and a raw read (bulk IN). Backends (real USB through
// libusb, the in-process virtual scanner, a local-socket server) each contribute devices to the
// DeviceList; the transport finds its scanner there by vendor and device description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ordavel::platform {

class RawPipe {
public:
    virtual ~RawPipe() = default;
    // Takes the device lock, waiting up to `timeoutMs`; false when it could not be had.
    virtual bool lock(uint32_t timeoutMs) = 0;
    virtual bool unlock() = 0;
    // Sends all bytes in one bulk OUT transfer; false on failure.
    virtual bool write(std::span<const uint8_t> data) = 0;
    // Reads up to buffer.size() bytes; `received` tells how many arrived. False on failure.
    virtual bool read(std::span<uint8_t> buffer, std::size_t& received) = 0;
};

// A USB device's vendor and product identifiers (idVendor, idProduct of its device descriptor).
struct UsbDeviceId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    bool operator==(const UsbDeviceId&) const = default;
};

struct DeviceInfo {
    std::u16string vendorDescription;  // e.g. the USB manufacturer string
    std::u16string deviceDescription;  // e.g. the USB product string
    std::string internalName;          // backend-specific name used to open the device
    UsbDeviceId usbId{};               // 0:0 where the backend does not know it (not on USB)
};

class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;
    virtual std::vector<DeviceInfo> devices() = 0;
    // Opens the device of that internal name in data mode; null on failure.
    virtual std::unique_ptr<RawPipe> open(const std::string& internalName) = 0;
};

// Devices of several backends, in backend order (first added first listed).
class DeviceList {
public:
    void addBackend(std::shared_ptr<DeviceBackend> backend);
    std::vector<DeviceInfo> devices();
    std::unique_ptr<RawPipe> open(const std::string& internalName);

private:
    std::vector<std::shared_ptr<DeviceBackend>> backends_;
};

}  // namespace ordavel::platform
