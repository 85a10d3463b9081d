// Per-resolution override sections of the description file: lines "[hdpi low:high]" whose range
// holds the horizontal resolution name a section that is searched before a key's own section.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ordavel::description {

struct OverrideScan {
    enum class Outcome { None, Found, SyntaxError };
    Outcome outcome = Outcome::None;
    std::string section;  // the override section's name when found
};

// What one line contributes to the scan.
OverrideScan ScanOverrideLine(std::string_view line, int32_t xResolution);

// Scans the file's text line by line; the first matching section (or malformed "hdpi" line)
// ends the scan.
OverrideScan FindOverrideSection(std::string_view content, int32_t xResolution);

}  // namespace ordavel::description
