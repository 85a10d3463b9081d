// The libusb device backend.
#include "platform/usb_device_backend.h"

#include <chrono>
#include <cstdio>
#include <string>

#include <libusb.h>

#include "platform/bulk_transfer.h"
#include "platform/device_node_lock.h"
#include "platform/usb_descriptors.h"

namespace ordavel::platform {

namespace {

constexpr unsigned char kBulkOut = 0x03;
constexpr unsigned char kBulkIn = 0x82;
// Asked for when a device has no readable language table: most devices answer it anyway.
constexpr uint16_t kLanguageEnglishUs = 0x0409;

// One libusb context. Every open pipe holds it, so libusb_exit comes after the last device is
// closed whatever order its owners are destroyed in.
class LibusbSession {
public:
    static std::shared_ptr<LibusbSession> Start() {
        libusb_context* context = nullptr;
        if (libusb_init(&context) != 0) return nullptr;
        return std::shared_ptr<LibusbSession>(new LibusbSession(context));
    }
    ~LibusbSession() { libusb_exit(context_); }
    LibusbSession(const LibusbSession&) = delete;
    LibusbSession& operator=(const LibusbSession&) = delete;
    libusb_context* context() const { return context_; }

private:
    explicit LibusbSession(libusb_context* context) : context_(context) {}
    libusb_context* context_;
};

// The devices libusb lists now, freed (with their references) when this goes.
class UsbDeviceListing {
public:
    explicit UsbDeviceListing(libusb_context* context) {
        const ssize_t n = libusb_get_device_list(context, &list_);
        count_ = n > 0 ? static_cast<std::size_t>(n) : 0;
        if (n < 0) list_ = nullptr;
    }
    ~UsbDeviceListing() {
        if (list_ != nullptr) libusb_free_device_list(list_, 1);
    }
    UsbDeviceListing(const UsbDeviceListing&) = delete;
    UsbDeviceListing& operator=(const UsbDeviceListing&) = delete;
    std::size_t size() const { return count_; }
    libusb_device* operator[](std::size_t i) const { return list_[i]; }

private:
    libusb_device** list_ = nullptr;
    std::size_t count_ = 0;
};

std::vector<uint8_t> ReadRawStringDescriptor(libusb_device_handle* handle, uint8_t index, uint16_t language) {
    unsigned char buffer[255];
    const int n = libusb_get_string_descriptor(handle, index, language, buffer, sizeof buffer);
    if (n <= 0) return {};
    return std::vector<uint8_t>(buffer, buffer + n);
}

std::u16string ReadString(libusb_device_handle* handle, uint8_t index, uint16_t language) {
    if (index == 0) return {};
    return DecodeStringDescriptor(ReadRawStringDescriptor(handle, index, language)).value_or(std::u16string());
}

// The device's names in each language it offers (string index 0 lists them).
std::vector<UsbNames> ReadNames(libusb_device_handle* handle, const libusb_device_descriptor& descriptor) {
    std::vector<uint16_t> languages = ParseLanguageTable(ReadRawStringDescriptor(handle, 0, 0));
    if (languages.empty()) languages.push_back(kLanguageEnglishUs);
    std::vector<UsbNames> names;
    for (const uint16_t language : languages) {
        AddDistinctNames(names, {ReadString(handle, descriptor.iManufacturer, language),
                                 ReadString(handle, descriptor.iProduct, language)});
    }
    return names;
}

std::string NameOf(libusb_device* device) {
    char name[32];
    std::snprintf(name, sizeof name, "usb:%03u:%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return name;
}

UsbDeviceId IdOf(const libusb_device_descriptor& descriptor) {
    return {descriptor.idVendor, descriptor.idProduct};
}

uint64_t MonotonicMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

BulkAttemptStatus StatusOf(int rc) {
    switch (rc) {
    case LIBUSB_SUCCESS:
        return BulkAttemptStatus::Completed;
    case LIBUSB_ERROR_TIMEOUT:
        return BulkAttemptStatus::TimedOut;
    case LIBUSB_ERROR_PIPE:
        return BulkAttemptStatus::Stalled;
    default:
        return BulkAttemptStatus::Failed;
    }
}

class UsbPipe final : public RawPipe {
public:
    UsbPipe(std::shared_ptr<LibusbSession> session, libusb_device_handle* handle, std::string nodePath)
        : session_(std::move(session)), handle_(handle), lock_(std::move(nodePath)) {}
    ~UsbPipe() override {
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
    }
    UsbPipe(const UsbPipe&) = delete;
    UsbPipe& operator=(const UsbPipe&) = delete;

    bool lock(uint32_t timeoutMs) override { return lock_.lock(timeoutMs); }
    bool unlock() override { return lock_.unlock(); }

    bool write(std::span<const uint8_t> data) override {
        // libusb takes a mutable buffer for both directions; an OUT transfer only reads it.
        auto* bytes = const_cast<unsigned char*>(data.data());
        return RunBulkOut(data.size(), steps(kBulkOut, bytes, data.size()));
    }

    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        return RunBulkIn(steps(kBulkIn, buffer.data(), buffer.size()), received);
    }

private:
    BulkTransferSteps steps(unsigned char endpoint, unsigned char* bytes, std::size_t length) {
        BulkTransferSteps s;
        s.attempt = [this, endpoint, bytes, length](uint32_t timeoutMs) {
            int transferred = 0;
            const int rc = libusb_bulk_transfer(handle_, endpoint, bytes, static_cast<int>(length), &transferred,
                                                timeoutMs);
            return BulkAttempt{StatusOf(rc), transferred > 0 ? static_cast<std::size_t>(transferred) : 0};
        };
        s.clearHalt = [this, endpoint] { return libusb_clear_halt(handle_, endpoint) == 0; };
        s.nowMs = MonotonicMs;
        return s;
    }

    std::shared_ptr<LibusbSession> session_;  // declared first: outlives the handle below
    libusb_device_handle* handle_;
    DeviceNodeLock lock_;
};

// libusb is started on the first listing, not when the backend is made: a process that only
// uses a virtual scanner never starts libusb (nor the event thread it runs).
class UsbDeviceBackend final : public DeviceBackend {
public:
    std::vector<DeviceInfo> devices() override {
        std::vector<DeviceInfo> found;
        if (!started()) return found;
        UsbDeviceListing list(session_->context());
        for (std::size_t i = 0; i < list.size(); ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
            if (descriptor.iManufacturer == 0 && descriptor.iProduct == 0) continue;
            libusb_device_handle* handle = nullptr;
            if (libusb_open(list[i], &handle) != 0) continue;  // not ours to use
            const std::vector<UsbNames> names = ReadNames(handle, descriptor);
            libusb_close(handle);
            // Listed once per language with names of its own, so the description finds the
            // device in whichever of its languages it names it.
            for (const UsbNames& n : names) {
                found.push_back({n.manufacturer, n.product, NameOf(list[i]), IdOf(descriptor)});
            }
        }
        return found;
    }

    std::unique_ptr<RawPipe> open(const std::string& internalName) override {
        if (!started()) return nullptr;
        UsbDeviceListing list(session_->context());
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (NameOf(list[i]) != internalName) continue;
            libusb_device_handle* handle = nullptr;
            if (libusb_open(list[i], &handle) != 0) return nullptr;
            libusb_set_auto_detach_kernel_driver(handle, 1);
            if (libusb_claim_interface(handle, 0) != 0) {
                libusb_close(handle);
                return nullptr;
            }
            return std::make_unique<UsbPipe>(session_, handle,
                                             UsbDeviceNodePath(libusb_get_bus_number(list[i]),
                                                               libusb_get_device_address(list[i])));
        }
        return nullptr;
    }

private:
    // A failed start is tried again at the next listing (the system may have gained usbfs since).
    bool started() {
        if (!session_) session_ = LibusbSession::Start();
        return session_ != nullptr;
    }

    std::shared_ptr<LibusbSession> session_;
};

}  // namespace

std::shared_ptr<DeviceBackend> MakeUsbDeviceBackend() { return std::make_shared<UsbDeviceBackend>(); }

}  // namespace ordavel::platform
