// The profile text rules shared by every system's profile files: what a profile file's text
// holds and how setting keys rewrites it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/profile.h"

namespace ordavel::platform {

// `content` with every key of `entries` set in `section` (in place where the key exists, at the
// end of the section's last line where only the section does, in a new section at the end
// otherwise); every other line and the file's line terminators stay as they were.
std::string ApplyProfileEntries(std::string_view content, std::string_view section,
                                std::span<const std::pair<std::string, std::string>> entries);

}  // namespace ordavel::platform
