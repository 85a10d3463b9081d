// Converting the description's USB names to the UTF-16 form the device list compares.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ordavel::description {

// Room for a converted name, terminator included.
inline constexpr std::size_t kDeviceNameCapacity = 80;

// UTF-8 to UTF-16; false when the text is not valid UTF-8 or does not fit in `capacity`
// UTF-16 units with a terminator (the conversion then fails rather than cut the name).
bool DeviceNameToUtf16(std::string_view text, std::u16string& out,
                       std::size_t capacity = kDeviceNameCapacity);

}  // namespace ordavel::description
