// The names of the temporaries whole-file replacements and staged writes leave behind.
#include "platform/temporary_names.h"

namespace ordavel::platform {

namespace {

bool IsTemporaryOf(std::string_view name, std::string_view base) {
    if (name.size() != base.size() + 1 + kTemporaryUniqueChars || name.substr(0, base.size()) != base) return false;
    if (name[base.size()] != '.') return false;
    for (char c : name.substr(base.size() + 1)) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

}  // namespace

bool IsLeftoverTemporaryName(std::string_view name, std::span<const std::string_view> atomicBases) {
    constexpr std::string_view kPartial = ".partial";
    if (name.size() > kPartial.size() && name.substr(name.size() - kPartial.size()) == kPartial) return true;
    for (std::string_view base : atomicBases) {
        if (IsTemporaryOf(name, base)) return true;
    }
    return false;
}

}  // namespace ordavel::platform
