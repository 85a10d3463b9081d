// The libusb device backend.
#include "platform/usb_device_backend.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <fcntl.h>
#include <libusb.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/temp_dir.h"

namespace ordavel::platform {

namespace {

constexpr unsigned char kBulkOut = 0x03;
constexpr unsigned char kBulkIn = 0x82;
constexpr unsigned kTransferTimeoutMs = 5000;
constexpr uint16_t kLanguageEnglishUs = 0x0409;

// The string descriptor `index` as UTF-16, read raw (string descriptors are UTF-16LE on the wire).
std::u16string ReadStringDescriptor(libusb_device_handle* handle, uint8_t index) {
    if (index == 0) return {};
    unsigned char buffer[256];
    int n = libusb_get_string_descriptor(handle, index, kLanguageEnglishUs, buffer, sizeof buffer);
    if (n < 2 || buffer[1] != LIBUSB_DT_STRING) return {};
    std::u16string text;
    for (int i = 2; i + 1 < n; i += 2) {
        text.push_back(static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8)));
    }
    return text;
}

std::string NameOf(libusb_device* device) {
    char name[32];
    std::snprintf(name, sizeof name, "usb:%03u:%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return name;
}

// The cross-process device lock: an advisory lock on a file named after the device.
class DeviceLockFile {
public:
    explicit DeviceLockFile(const std::string& deviceName) {
        std::string dir = SystemTemporaryDirectory();
        if (dir.empty()) dir = "/tmp";
        std::string path = dir + "/mirt-" + deviceName + ".lock";
        for (std::size_t i = dir.size() + 1; i < path.size(); ++i) {
            if (path[i] == ':') path[i] = '-';
        }
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }
    ~DeviceLockFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    DeviceLockFile(const DeviceLockFile&) = delete;
    DeviceLockFile& operator=(const DeviceLockFile&) = delete;

    bool lock(uint32_t timeoutMs) {
        if (fd_ < 0) return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    bool unlock() { return fd_ >= 0 && ::flock(fd_, LOCK_UN) == 0; }

private:
    int fd_ = -1;
};

class UsbPipe final : public RawPipe {
public:
    UsbPipe(libusb_device_handle* handle, const std::string& name) : handle_(handle), lock_(name) {}
    ~UsbPipe() override {
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
    }

    bool lock(uint32_t timeoutMs) override { return lock_.lock(timeoutMs); }
    bool unlock() override { return lock_.unlock(); }

    bool write(std::span<const uint8_t> data) override {
        std::size_t sent = 0;
        while (sent < data.size()) {
            int transferred = 0;
            int rc = libusb_bulk_transfer(handle_, kBulkOut, const_cast<unsigned char*>(data.data() + sent),
                                          static_cast<int>(data.size() - sent), &transferred,
                                          kTransferTimeoutMs);
            if (rc != 0 || transferred <= 0) return false;
            sent += static_cast<std::size_t>(transferred);
        }
        return true;
    }

    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        int transferred = 0;
        int rc = libusb_bulk_transfer(handle_, kBulkIn, buffer.data(), static_cast<int>(buffer.size()),
                                      &transferred, kTransferTimeoutMs);
        received = transferred > 0 ? static_cast<std::size_t>(transferred) : 0;
        return rc == 0 || (rc == LIBUSB_ERROR_TIMEOUT && transferred > 0);
    }

private:
    libusb_device_handle* handle_;
    DeviceLockFile lock_;
};

class UsbDeviceBackend final : public DeviceBackend {
public:
    explicit UsbDeviceBackend(libusb_context* context) : context_(context) {}
    ~UsbDeviceBackend() override { libusb_exit(context_); }

    std::vector<DeviceInfo> devices() override {
        std::vector<DeviceInfo> found;
        libusb_device** list = nullptr;
        ssize_t count = libusb_get_device_list(context_, &list);
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
            if (descriptor.iManufacturer == 0 && descriptor.iProduct == 0) continue;
            libusb_device_handle* handle = nullptr;
            if (libusb_open(list[i], &handle) != 0) continue;  // not ours to use
            DeviceInfo info;
            info.vendorDescription = ReadStringDescriptor(handle, descriptor.iManufacturer);
            info.deviceDescription = ReadStringDescriptor(handle, descriptor.iProduct);
            info.internalName = NameOf(list[i]);
            libusb_close(handle);
            found.push_back(std::move(info));
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        return found;
    }

    std::unique_ptr<RawPipe> open(const std::string& internalName) override {
        std::unique_ptr<RawPipe> pipe;
        libusb_device** list = nullptr;
        ssize_t count = libusb_get_device_list(context_, &list);
        for (ssize_t i = 0; i < count && !pipe; ++i) {
            if (NameOf(list[i]) != internalName) continue;
            libusb_device_handle* handle = nullptr;
            if (libusb_open(list[i], &handle) != 0) break;
            libusb_set_auto_detach_kernel_driver(handle, 1);
            if (libusb_claim_interface(handle, 0) != 0) {
                libusb_close(handle);
                break;
            }
            pipe = std::make_unique<UsbPipe>(handle, internalName);
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        return pipe;
    }

private:
    libusb_context* context_;
};

}  // namespace

std::shared_ptr<DeviceBackend> MakeUsbDeviceBackend() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) return nullptr;
    return std::make_shared<UsbDeviceBackend>(context);
}

}  // namespace ordavel::platform
