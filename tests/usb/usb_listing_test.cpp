// The libusb backend lists the presented device by its strings in each of its languages and by
// its identifiers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/device_list.h"
#include "platform/usb_device_backend.h"
#include "tests/support/virtual_rig.h"
#include "tests/usb/usb_scanner_device.h"

namespace ordavel::test {
namespace {

struct Listed {
    std::u16string manufacturer, product;
    bool operator==(const Listed&) const = default;
};

struct ListingCase {
    const char* name;
    UsbIdentity identity;
    std::vector<Listed> listed;  // in the device's language order
    bool isTheScanner;           // carries the scanner's identifiers
};

void PrintTo(const ListingCase& c, std::ostream* os) { *os << c.name; }

UsbIdentity WithNames(std::vector<UsbLanguageNames> names, uint16_t vendor = MIRT_USB_VENDOR_ID,
                      uint16_t product = MIRT_SCANNER_PRODUCT_ID) {
    UsbIdentity id = ScannerIdentity();
    id.names = std::move(names);
    id.vendor = vendor;
    id.product = product;
    return id;
}

std::shared_ptr<virtual_scanner::VirtualScanner> ReferenceScanner() {
    std::string error;
    auto scanner = virtual_scanner::VirtualScanner::Create(ReferenceScannerConfig(),
                                                           std::make_shared<platform::VirtualClock>(), error);
    EXPECT_TRUE(scanner) << error;
    return scanner;
}

class UsbListing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(UsbListing, ListsTheDeviceByItsNamesAndIdentifiers) {
    const ListingCase& c = GetParam();
    UsbScannerDevice device(ReferenceScanner(), c.identity);
    ASSERT_TRUE(device.ready());
    platform::DeviceList list;
    list.addBackend(platform::MakeUsbDeviceBackend());
    const std::vector<platform::DeviceInfo> devices = list.devices();

    std::vector<Listed> listed;
    for (const platform::DeviceInfo& d : devices) {
        listed.push_back({d.vendorDescription, d.deviceDescription});
        EXPECT_EQ(d.internalName, "0:usb:001:002");
        EXPECT_EQ(platform::UsbIdText(d.usbId), platform::UsbIdText({c.identity.vendor, c.identity.product}));
        EXPECT_EQ(platform::HasUsbId(d, {&platform::kScannerUsbId, 1}), c.isTheScanner);
    }
    EXPECT_EQ(listed, c.listed);
}

INSTANTIATE_TEST_SUITE_P(
    Usb, UsbListing,
    ::testing::Values(
        ListingCase{"TheScanner", ScannerIdentity(), {{u"Mirt", u"Mirt Sheet Scanner"}}, true},
        // Listed once per language with names of its own, so a description in either finds it.
        ListingCase{"NamesInTwoLanguages",
                    WithNames({{0x0804, u"\u7c73\u7279", u"\u9001\u7eb8\u626b\u63cf\u4eea"},
                               {0x0409, u"Mirt", u"Mirt Sheet Scanner"}}),
                    {{u"\u7c73\u7279", u"\u9001\u7eb8\u626b\u63cf\u4eea"}, {u"Mirt", u"Mirt Sheet Scanner"}},
                    true},
        ListingCase{"SameNamesInTwoLanguages",
                    WithNames({{0x0407, u"Mirt", u"Mirt Sheet Scanner"}, {0x0409, u"Mirt", u"Mirt Sheet Scanner"}}),
                    {{u"Mirt", u"Mirt Sheet Scanner"}},
                    true},
        // The scanner's names on other identifiers: listed, but not the scanner by its identifiers.
        ListingCase{"OtherIdentifiers", WithNames({{0x0409, u"Mirt", u"Mirt Sheet Scanner"}}, 0x1234, 0x5C01),
                    {{u"Mirt", u"Mirt Sheet Scanner"}},
                    false}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ordavel::test
