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

std::string CutUtf8StatusText(std::string_view text, std::size_t limit) {
    text = WithoutIncompleteLastCharacter(text);
    return std::string(text.substr(0, Utf8PrefixLength(text, limit)));
}

std::string_view WithoutIncompleteLastCharacter(std::string_view text) {
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < 4 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead == 0) return text;
    const auto byte = static_cast<unsigned char>(text[lead - 1]);
    const std::size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return text.size() - (lead - 1) < needed ? text.substr(0, lead - 1) : text;
}

}  // namespace ordavel::platform
