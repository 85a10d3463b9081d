// UTF-8 to UTF-16 for the USB names of the description.
#include "driver/description/device_name_text.h"

#include <cstdint>

namespace ordavel::description {

namespace {

// Decodes one UTF-8 sequence at `pos`; false on a malformed, overlong or surrogate sequence.
bool DecodeOne(std::string_view text, std::size_t& pos, char32_t& cp) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int extra = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        ++pos;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (pos + static_cast<std::size_t>(extra) >= text.size()) return false;
    for (int i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    pos += static_cast<std::size_t>(extra) + 1;
    return true;
}

}  // namespace

bool DeviceNameToUtf16(std::string_view text, std::u16string& out, std::size_t capacity) {
    std::u16string result;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        if (!DecodeOne(text, pos, cp)) return false;
        if (cp < 0x10000) {
            result.push_back(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
    }
    if (result.size() + 1 > capacity) return false;
    out = std::move(result);
    return true;
}

}  // namespace ordavel::description
