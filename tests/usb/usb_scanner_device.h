// The virtual scanner presented to libusb as a real USB device, through umockdev: a testbed
// holding the device's sysfs entry (identifiers, speed, descriptors) and device node, and an
// ioctl handler that plays the kernel's usbfs for that node. Control transfers answer the string
// descriptors in the device's languages; bulk transfers on 0x03 and 0x82 go to the model, whose
// faults (a failed or short transfer, a disconnect) come back as the kernel reports them. On top
// the device can halt an endpoint, as a real device does when it stalls, until the host clears
// it.
//
// The handler runs on umockdev's own thread; programs started while the device exists (with
// umockdev's preload, e.g. through umockdev-wrapper) see it too, and their requests are answered
// by this process.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "virtual/virtual_scanner.h"

namespace ordavel::test {

// The device's names in one of its languages.
struct UsbLanguageNames {
    uint16_t language = 0x0409;
    std::u16string manufacturer;
    std::u16string product;
};

struct UsbIdentity {
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::vector<UsbLanguageNames> names;  // in the order of the device's language table
    unsigned bus = 1;
    unsigned address = 2;
};

// True when umockdev's preload library is loaded in this process (the loader took it from
// LD_PRELOAD at start-up).
bool UmockdevPreloaded();

// The reference scanner's identity: the project's identifiers, names in US English.
UsbIdentity ScannerIdentity();

// What the host asked of the device, counted by the handler.
struct UsbTraffic {
    uint64_t bulkOut = 0, bulkIn = 0;  // bulk URBs submitted on 0x03 and 0x82
    uint64_t stringRequests = 0;       // GET_DESCRIPTOR (string) control transfers
    uint64_t stalls = 0;               // transfers answered with a halted endpoint
    uint64_t haltsCleared = 0;         // CLEAR_HALT requests
    uint64_t claims = 0, releases = 0;
};

// Whose time the model keeps. A driver in this process shares the model's virtual clock, so a page
// costs no real time; a driver in another process (scanimage, mirt) runs on the real clock, and
// the model must follow real time for the paper to move as far as that driver waits.
enum class ModelTime { SharedWithThisProcess, RealTime };

class UsbScannerDevice {
public:
    // Adds the device to a fresh testbed. Fails the calling test when umockdev's preload is not
    // in this process (the test program must run under umockdev-wrapper).
    UsbScannerDevice(std::shared_ptr<virtual_scanner::VirtualScanner> scanner, UsbIdentity identity,
                     ModelTime time = ModelTime::SharedWithThisProcess);
    ~UsbScannerDevice();
    UsbScannerDevice(const UsbScannerDevice&) = delete;
    UsbScannerDevice& operator=(const UsbScannerDevice&) = delete;

    // True when the testbed and its device were made.
    bool ready() const { return ready_; }
    // "/dev/bus/usb/BBB/DDD" as the host names the node.
    std::string nodePath() const;

    // The endpoint answers every transfer with a stall until the host clears the halt.
    void haltEndpoint(uint8_t endpoint);
    UsbTraffic traffic() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    bool ready_ = false;
};

}  // namespace ordavel::test
