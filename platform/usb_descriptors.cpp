// Decoding the string descriptors of a USB device.
#include "platform/usb_descriptors.h"

#include <algorithm>

namespace ordavel::platform {

namespace {

constexpr uint8_t kStringDescriptorType = 3;

// The descriptor's own bytes (cut at bLength), or an empty span when the header is not valid.
std::span<const uint8_t> StringDescriptorBody(std::span<const uint8_t> descriptor) {
    if (descriptor.size() < 2 || descriptor[1] != kStringDescriptorType) return {};
    const std::size_t length = std::min<std::size_t>(descriptor[0], descriptor.size());
    if (length < 2) return {};
    return descriptor.subspan(2, length - 2);
}

}  // namespace

std::vector<uint16_t> ParseLanguageTable(std::span<const uint8_t> descriptor) {
    std::vector<uint16_t> languages;
    const auto body = StringDescriptorBody(descriptor);
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
        const auto id = static_cast<uint16_t>(body[i] | (body[i + 1] << 8));
        if (id == 0 || std::find(languages.begin(), languages.end(), id) != languages.end()) continue;
        languages.push_back(id);
    }
    return languages;
}

std::optional<std::u16string> DecodeStringDescriptor(std::span<const uint8_t> descriptor) {
    if (descriptor.size() < 2 || descriptor[1] != kStringDescriptorType || descriptor[0] < 2) return std::nullopt;
    const auto body = StringDescriptorBody(descriptor);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
        text.push_back(static_cast<char16_t>(body[i] | (body[i + 1] << 8)));
    }
    return text;
}

void AddDistinctNames(std::vector<UsbNames>& found, UsbNames names) {
    if (names.manufacturer.empty() && names.product.empty()) return;
    if (std::find(found.begin(), found.end(), names) != found.end()) return;
    found.push_back(std::move(names));
}

}  // namespace ordavel::platform
