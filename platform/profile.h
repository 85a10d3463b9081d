// Profile ("INI") files with the semantics the driver relies on: case-insensitive section and key
// names, first match wins, values trimmed and cut to 255 characters, an empty value counts as
// absent, integers from leading decimal digits with an optional sign. Writes replace a key's value
// in place (creating file, section or key when missing), keep every other line as it was, and are
// atomic (temporary file + rename). LF and CRLF files are read alike.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ordavel::platform {

inline constexpr std::size_t kProfileValueLimit = 255;

// One profile file read into memory, for callers that look up many keys of a file that does not
// change meanwhile (the scanner description). Lookups follow the same rules as ReadProfileString.
class ProfileFile {
public:
    // Nullopt when the file cannot be opened for reading.
    static std::optional<ProfileFile> Load(const std::string& path);
    // Parses profile text already in memory.
    static ProfileFile FromText(std::string_view text);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;

private:
    std::vector<std::string> lines_;  // without line terminators
};

// The value of `key` in `section`, or nullopt when the file, section or key is missing or the
// value is empty.
std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key);

// The integer at the start of a profile value by the profile rule: optional sign, then leading
// decimal digits (none read 0); values beyond the 32-bit range saturate.
int32_t ProfileIntFromText(std::string_view value);

// The integer value of a key by the profile rule, or `defaultValue` when the key is absent.
int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue);

// Sets `key` in `section` to `value`; false when the file cannot be read or written, or is a
// symbolic link (see WriteFileAtomically).
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Sets every key of `entries` in `section` in one atomic rewrite: a reader sees all of them or
// none. False as WriteProfileString.
bool WriteProfileStrings(const std::string& path, std::string_view section,
                         std::span<const std::pair<std::string, std::string>> entries);

}  // namespace ordavel::platform
