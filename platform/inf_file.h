// A small INF reader: sections, "key = value, value" lines, quoted strings, comments, line
// continuation and %string% substitution from [Strings], with the syntax errors the set-up
// interface reports. Pure text parsing, shared by every platform's device set-up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel::platform {

class InfFile {
public:
    struct Line {
        std::optional<std::string> key;  // text left of '=', when the line has one
        std::vector<std::string> fields;  // the comma-separated values, substituted and unquoted
        uint32_t number = 0;              // 1-based line in the file
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };

    // Parses INF text. On a syntax error returns nullopt with the set-up error code and line.
    static std::optional<InfFile> Parse(std::string_view text, uint32_t* errorCode = nullptr,
                                        uint32_t* errorLine = nullptr);

    const std::vector<Section>& sections() const { return sections_; }
    // Section names compare without regard to letter case; sections of one name are merged.
    const Section* section(std::string_view name) const;
    // The first value of the first line with `key` in `section`.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // True when [Version] Signature names a Windows 4 style INF.
    bool isWin4Style() const;

    // Field `index` of a line: 0 is the key (for a line without one, its first value), 1.. values.
    static std::optional<std::string> Field(const Line& line, uint32_t index);

private:
    std::vector<Section> sections_;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace ordavel::platform
