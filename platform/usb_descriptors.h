// The USB string descriptors a device names itself with, decoded without touching the device:
// the language table (string index 0) and one string in UTF-16LE. A device may offer its names
// in several languages; the driver's description names it in one of them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordavel::platform {

// The language IDs of a string descriptor 0 (bLength, bDescriptorType 3, then wLANGID pairs),
// in the device's order, without zero IDs or repeats. Bytes past bLength, an odd trailing byte
// and a descriptor of another type are ignored; a malformed table gives no languages.
std::vector<uint16_t> ParseLanguageTable(std::span<const uint8_t> descriptor);

// The text of a string descriptor (bLength, bDescriptorType 3, UTF-16LE code units); nothing
// when the bytes are not one. Bytes past bLength are not part of the string.
std::optional<std::u16string> DecodeStringDescriptor(std::span<const uint8_t> descriptor);

// The manufacturer and product names of a device in one of its languages.
struct UsbNames {
    std::u16string manufacturer;
    std::u16string product;
    bool operator==(const UsbNames&) const = default;
};

// Adds `names` to `found` unless they are empty or already there (languages often share the
// same names; the device is listed once per distinct pair).
void AddDistinctNames(std::vector<UsbNames>& found, UsbNames names);

}  // namespace ordavel::platform
