// The libusb backend finds the presented scanner by its strings and identifiers.
#include <gtest/gtest.h>

#include "mirt_usb_ids.h"
#include "platform/usb_device_backend.h"
#include "tests/support/virtual_rig.h"
#include "tests/usb/usb_scanner_device.h"

namespace ordavel::test {
namespace {

TEST(UsbListing, FindsThePresentedScanner) {
    auto clock = std::make_shared<platform::VirtualClock>();
    std::string error;
    auto scanner = virtual_scanner::VirtualScanner::Create(ReferenceScannerConfig(), clock, error);
    ASSERT_TRUE(scanner) << error;
    UsbScannerDevice device(scanner, ScannerIdentity());
    ASSERT_TRUE(device.ready());
    auto backend = platform::MakeUsbDeviceBackend();
    const auto devices = backend->devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendorDescription, u"Mirt");
    EXPECT_EQ(devices[0].deviceDescription, u"Mirt Sheet Scanner");
    EXPECT_EQ(devices[0].internalName, "usb:001:002");
}

}  // namespace
}  // namespace ordavel::test
