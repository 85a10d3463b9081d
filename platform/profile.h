// Profile ("INI") files with the semantics the driver relies on: case-insensitive section and key
// names, first match wins, values trimmed and cut to 255 characters, an empty value counts as
// absent, integers from leading decimal digits with an optional sign. Writes replace a key's value
// in place (creating file, section or key when missing), keep every other line as it was, and are
// atomic (temporary file + rename). LF and CRLF files are read alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordavel::platform {

inline constexpr std::size_t kProfileValueLimit = 255;

// The value of `key` in `section`, or nullopt when the file, section or key is missing or the
// value is empty.
std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key);

// The integer value of a key by the profile rule (leading decimal digits, optional sign; text
// without digits reads 0), or `defaultValue` when the key is absent.
int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue);

// Sets `key` in `section` to `value`; false when the file cannot be written.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace ordavel::platform
