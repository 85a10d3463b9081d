// The usbfs side of the presented device: descriptors in sysfs and an ioctl handler for the node.
#include "tests/usb/usb_scanner_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <span>

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include "mirt_usb_ids.h"
#include "platform/clock.h"

namespace ordavel::test {

namespace {

constexpr uint8_t kBulkOut = 0x03;
constexpr uint8_t kBulkIn = 0x82;
constexpr uint8_t kStringDescriptor = 3;
constexpr uint8_t kGetDescriptor = 6;
constexpr std::size_t kSetupBytes = 8;
constexpr int kFullSpeed = 2;  // USB_SPEED_FULL of the kernel's usb_device_speed

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    char pair[3];
    for (const uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// The device descriptor and its one configuration: one vendor-specific interface with the
// controller's two bulk endpoints, 64-byte packets at full speed. This is what the kernel
// publishes in the "descriptors" attribute and libusb reads from there.
std::vector<uint8_t> Descriptors(const UsbIdentity& id) {
    std::vector<uint8_t> d = {18, 1, 0x00, 0x02, 0x00, 0x00, 0x00, 64};
    PutWord(d, id.vendor);
    PutWord(d, id.product);
    PutWord(d, 0x0100);                       // bcdDevice
    d.insert(d.end(), {1, 2, 0, 1});          // iManufacturer, iProduct, no serial, one configuration
    d.insert(d.end(), {9, 2, 32, 0, 1, 1, 0, 0xC0, 50});   // configuration: self-powered, 100 mA
    d.insert(d.end(), {9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0}); // interface 0: vendor class
    d.insert(d.end(), {7, 5, kBulkOut, 2, 64, 0, 0});
    d.insert(d.end(), {7, 5, kBulkIn, 2, 64, 0, 0});
    return d;
}

std::vector<uint8_t> StringDescriptor(const std::u16string& text) {
    std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * text.size()), kStringDescriptor};
    for (const char16_t c : text) PutWord(d, static_cast<uint16_t>(c));
    return d;
}

// Names of the basic multilingual plane, as the test identities use.
std::string Utf8(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

template <typename T>
struct GObjectRef {
    T* p = nullptr;
    explicit GObjectRef(T* object = nullptr) : p(object) {}
    ~GObjectRef() {
        if (p != nullptr) g_object_unref(p);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
};

}  // namespace

bool UmockdevPreloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

UsbIdentity ScannerIdentity() {
    UsbIdentity id;
    id.vendor = MIRT_USB_VENDOR_ID;
    id.product = MIRT_SCANNER_PRODUCT_ID;
    id.names = {{0x0409, u"Mirt", u"Mirt Sheet Scanner"}};
    return id;
}

struct UsbScannerDevice::Impl {
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner;
    UsbIdentity identity;
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    ModelTime time = ModelTime::SharedWithThisProcess;
    uint64_t realOriginMicros = 0;   // real time when the device appeared
    uint64_t modelOriginMicros = 0;  // the model's time then

    mutable std::mutex mutex;
    std::vector<UMockdevIoctlClient*> clients;  // every open of the node (held)
    UsbTraffic traffic;
    std::map<uint8_t, bool> halted;
    // Finished URBs waiting to be reaped, per open node (each open of the node is a client).
    std::map<UMockdevIoctlClient*, std::vector<UMockdevIoctlData*>> finished;

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        return static_cast<Impl*>(self)->handle(client);
    }
    static void OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        auto* impl = static_cast<Impl*>(self);
        std::lock_guard guard(impl->mutex);
        impl->clients.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
    }

    // True once every open of the node has been closed. A close reaches the handler's thread a
    // moment after the host made it, so a close just made is waited for (a short while).
    bool hostClosedEverything() {
        for (int attempt = 0; attempt < 200; ++attempt) {
            {
                std::lock_guard guard(mutex);
                const bool open = std::any_of(clients.begin(), clients.end(), [](UMockdevIoctlClient* c) {
                    return umockdev_ioctl_client_get_connected(c);
                });
                if (!open) return true;
            }
            platform::SleepRealMicroseconds(5000);
        }
        return false;
    }
    static void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        static_cast<Impl*>(self)->forget(client);
    }

    void forget(UMockdevIoctlClient* client) {
        std::lock_guard guard(mutex);
        auto it = finished.find(client);
        if (it == finished.end()) return;
        for (UMockdevIoctlData* urb : it->second) g_object_unref(urb);
        finished.erase(it);
    }

    static void Complete(UMockdevIoctlClient* client, long result, int error) {
        umockdev_ioctl_client_complete(client, result, error);
    }

    bool present() { return scanner->present(); }

    gboolean handle(UMockdevIoctlClient* client) {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            GObjectRef<UMockdevIoctlData> caps(umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr));
            // What a kernel reports for a device on an xHCI controller. Scatter-gather makes
            // libusb submit each transfer as one URB whatever its length; without it libusb
            // splits long transfers into 16 KiB URBs chained by bulk continuation, whose
            // cancel-after-a-short-packet rule this handler does not play.
            const uint32_t value = USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
                                   USBDEVFS_CAP_ZERO_PACKET;
            std::memcpy(caps.p->data, &value, sizeof value);
            Complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER:
        case USBDEVFS_IOCTL:
            Complete(client, -1, ENODATA);  // no kernel driver is bound to the interface
            return TRUE;
        case USBDEVFS_GET_SPEED:
            Complete(client, kFullSpeed, 0);
            return TRUE;
        case USBDEVFS_CONNECTINFO: {
            GObjectRef<UMockdevIoctlData> info(
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_connectinfo), nullptr));
            auto* ci = reinterpret_cast<usbdevfs_connectinfo*>(info.p->data);
            ci->devnum = identity.address;
            ci->slow = 0;
            Complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return reap(client, arg);
        case USBDEVFS_DISCARDURB:
            // Every URB finishes as it is submitted: there is nothing in flight to cancel.
            Complete(client, -1, EINVAL);
            return TRUE;
        default:
            break;
        }
        if (!present()) {
            Complete(client, -1, ENODEV);
            return TRUE;
        }
        switch (request) {
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:  // what libusb claims with when it may detach a kernel driver
        case USBDEVFS_RELEASEINTERFACE: {
            std::lock_guard guard(mutex);
            ++(request == USBDEVFS_RELEASEINTERFACE ? traffic.releases : traffic.claims);
            Complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_RESET:
        case USBDEVFS_RESETEP:
            Complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_CLEAR_HALT: {
            GObjectRef<UMockdevIoctlData> ep(umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr));
            unsigned int endpoint = 0;
            std::memcpy(&endpoint, ep.p->data, sizeof endpoint);
            std::lock_guard guard(mutex);
            halted[static_cast<uint8_t>(endpoint)] = false;
            ++traffic.haltsCleared;
            Complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SUBMITURB:
            return submit(client, arg);
        default:
            return FALSE;
        }
    }

    gboolean submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        if (urbData == nullptr) {
            Complete(client, -1, EFAULT);
            return TRUE;
        }
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        const std::size_t length = urb->buffer_length > 0 ? static_cast<std::size_t>(urb->buffer_length) : 0;
        GObjectRef<UMockdevIoctlData> buffer(
            umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), length, nullptr));
        std::span<uint8_t> bytes(buffer.p != nullptr ? buffer.p->data : nullptr, buffer.p != nullptr ? length : 0);
        urb->actual_length = 0;
        urb->status = 0;
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->endpoint == 0) {
            control(*urb, bytes);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && (urb->endpoint == kBulkOut || urb->endpoint == kBulkIn)) {
            bulk(*urb, bytes);
        } else {
            g_object_unref(urbData);
            Complete(client, -1, ENOENT);  // no such endpoint on this device
            return TRUE;
        }
        {
            std::lock_guard guard(mutex);
            finished[client].push_back(urbData);
        }
        Complete(client, 0, 0);
        return TRUE;
    }

    // Only the string descriptors travel as control transfers; everything else a host may ask on
    // endpoint 0 is refused with a stall, as a device does with requests it does not know.
    void control(usbdevfs_urb& urb, std::span<uint8_t> bytes) {
        if (bytes.size() < kSetupBytes) {
            urb.status = -EPIPE;
            return;
        }
        const uint8_t requestType = bytes[0];
        const uint8_t request = bytes[1];
        const uint16_t value = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
        const uint16_t index = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
        const uint16_t wanted = static_cast<uint16_t>(bytes[6] | (bytes[7] << 8));
        if (requestType != 0x80 || request != kGetDescriptor || (value >> 8) != kStringDescriptor) {
            urb.status = -EPIPE;
            return;
        }
        std::vector<uint8_t> answer;
        {
            std::lock_guard guard(mutex);
            ++traffic.stringRequests;
        }
        const uint8_t stringIndex = value & 0xFF;
        if (stringIndex == 0) {
            answer = {static_cast<uint8_t>(2 + 2 * identity.names.size()), kStringDescriptor};
            for (const UsbLanguageNames& n : identity.names) PutWord(answer, n.language);
        } else if ((stringIndex == 1 || stringIndex == 2) && !identity.names.empty()) {
            // A language the device does not offer gets its first one, as devices commonly do.
            const UsbLanguageNames* names = &identity.names.front();
            for (const UsbLanguageNames& n : identity.names) {
                if (n.language == index) names = &n;
            }
            answer = StringDescriptor(stringIndex == 1 ? names->manufacturer : names->product);
        } else {
            urb.status = -EPIPE;
            return;
        }
        const std::size_t n = std::min({answer.size(), static_cast<std::size_t>(wanted), bytes.size() - kSetupBytes});
        std::memcpy(bytes.data() + kSetupBytes, answer.data(), n);
        urb.actual_length = static_cast<int>(n);
    }

    // The model is brought up to the real present before each transfer; it never goes back (a
    // transfer costs the model its USB time, which may put it a little ahead).
    void followRealTime() {
        if (time != ModelTime::RealTime) return;
        platform::VirtualClock& clock = scanner->clock();
        const uint64_t now = modelOriginMicros + (platform::MonotonicMicroseconds() - realOriginMicros);
        if (now > clock.microseconds()) clock.advanceMicroseconds(now - clock.microseconds());
    }

    void bulk(usbdevfs_urb& urb, std::span<uint8_t> bytes) {
        followRealTime();
        {
            std::lock_guard guard(mutex);
            ++(urb.endpoint == kBulkOut ? traffic.bulkOut : traffic.bulkIn);
            if (halted[urb.endpoint]) {
                ++traffic.stalls;
                urb.status = -EPIPE;
                return;
            }
        }
        if (urb.endpoint == kBulkOut) {
            const uint64_t before = scanner->observations().counters.bytesOut;
            const bool ok = scanner->bulkOut(bytes);
            const uint64_t taken = scanner->observations().counters.bytesOut - before;
            urb.actual_length = static_cast<int>(ok ? bytes.size() : taken);
            if (!ok) urb.status = present() ? -EPROTO : -ENODEV;
            return;
        }
        std::size_t received = 0;
        const bool ok = scanner->bulkIn(bytes, received);
        urb.actual_length = static_cast<int>(received);
        if (!ok) urb.status = present() ? -EPROTO : -ENODEV;
    }

    gboolean reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        UMockdevIoctlData* urbData = nullptr;
        {
            std::lock_guard guard(mutex);
            auto it = finished.find(client);
            if (it != finished.end() && !it->second.empty()) {
                urbData = it->second.front();
                it->second.erase(it->second.begin());
            }
        }
        if (urbData == nullptr) {
            Complete(client, -1, present() ? EAGAIN : ENODEV);
            return TRUE;
        }
        GObjectRef<UMockdevIoctlData> pointer(umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr));
        umockdev_ioctl_data_set_ptr(pointer.p, 0, urbData);
        Complete(client, 0, 0);
        g_object_unref(urbData);
        return TRUE;
    }
};

UsbScannerDevice::UsbScannerDevice(std::shared_ptr<virtual_scanner::VirtualScanner> scanner, UsbIdentity identity,
                                   ModelTime time)
    : impl_(std::make_unique<Impl>()) {
    if (!UmockdevPreloaded()) {
        ADD_FAILURE() << "umockdev's preload is missing: run this program under umockdev-wrapper";
        return;
    }
    impl_->scanner = std::move(scanner);
    impl_->identity = std::move(identity);
    impl_->time = time;
    impl_->realOriginMicros = platform::MonotonicMicroseconds();
    impl_->modelOriginMicros = impl_->scanner->clock().microseconds();
    impl_->testbed = umockdev_testbed_new();
    impl_->handler = umockdev_ioctl_base_new();
    g_signal_connect(impl_->handler, "handle-ioctl", G_CALLBACK(Impl::OnIoctl), impl_.get());
    g_signal_connect(impl_->handler, "client-connected", G_CALLBACK(Impl::OnConnected), impl_.get());
    g_signal_connect(impl_->handler, "client-vanished", G_CALLBACK(Impl::OnVanished), impl_.get());
    GError* error = nullptr;
    // The handler first, so the node answers as soon as the device appears.
    if (!umockdev_testbed_attach_ioctl(impl_->testbed, nodePath().c_str(), impl_->handler, &error)) {
        ADD_FAILURE() << "cannot attach the ioctl handler: " << (error != nullptr ? error->message : "?");
        g_clear_error(&error);
        return;
    }
    const UsbIdentity& id = impl_->identity;
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  "E: BUSNUM=%03u\nE: DEVNUM=%03u\nE: DEVNAME=%s\nE: PRODUCT=%x/%x/100\n"
                  "A: busnum=%u\\n\nA: devnum=%u\\n\nA: idVendor=%04x\\n\nA: idProduct=%04x\\n\n",
                  id.bus, id.address, nodePath().c_str(), id.vendor, id.product, id.bus, id.address, id.vendor,
                  id.product);
    // The kernel publishes the strings of the device's first language, in UTF-8.
    std::string manufacturer, product;
    if (!id.names.empty()) {
        manufacturer = Utf8(id.names.front().manufacturer);
        product = Utf8(id.names.front().product);
    }
    char sysname[32];
    std::snprintf(sysname, sizeof sysname, "%u-1", id.bus);
    const std::string description = std::string("P: /devices/pci0000:00/0000:00:14.0/usb") + std::to_string(id.bus) +
                                    "/" + sysname + "\nN: " + nodePath().substr(5) +
                                    "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n" + numbers +
                                    "A: bConfigurationValue=1\\n\nA: speed=12\\n\nA: manufacturer=" + manufacturer +
                                    "\\n\nA: product=" + product + "\\n\nH: descriptors=" + Hex(Descriptors(id)) + "\n";
    if (!umockdev_testbed_add_from_string(impl_->testbed, description.c_str(), &error)) {
        ADD_FAILURE() << "cannot add the device: " << (error != nullptr ? error->message : "?");
        g_clear_error(&error);
        return;
    }
    ready_ = true;
}

UsbScannerDevice::~UsbScannerDevice() {
    if (!impl_->hostClosedEverything()) {
        // A host still holding the node open would wait for ever for the answers of a gone
        // handler (umockdev's preload blocks on its socket). The device is left in place,
        // answering, and the test fails instead of hanging.
        ADD_FAILURE() << "the presented device went while the host still had it open";
        static_cast<void>(impl_.release());  // deliberately kept: see above
        return;
    }
    for (UMockdevIoctlClient* client : impl_->clients) g_object_unref(client);
    if (impl_->testbed != nullptr) g_object_unref(impl_->testbed);
    if (impl_->handler != nullptr) g_object_unref(impl_->handler);
    for (auto& [client, urbs] : impl_->finished) {
        for (UMockdevIoctlData* urb : urbs) g_object_unref(urb);
    }
}

std::string UsbScannerDevice::nodePath() const {
    char path[48];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", impl_->identity.bus, impl_->identity.address);
    return path;
}

void UsbScannerDevice::haltEndpoint(uint8_t endpoint) {
    std::lock_guard guard(impl_->mutex);
    impl_->halted[endpoint] = true;
}

UsbTraffic UsbScannerDevice::traffic() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->traffic;
}

}  // namespace ordavel::test
