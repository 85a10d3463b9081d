// Cutting UTF-8 text between characters.
#include "platform/status_text.h"

namespace ordavel::platform {

std::size_t Utf8PrefixLength(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    const auto continuation = [&](std::size_t i) { return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; };
    std::size_t cut = limit;
    while (cut > 0 && limit - cut < 3 && continuation(cut)) --cut;
    if (continuation(cut)) return limit;
    return cut;
}

}  // namespace ordavel::platform
