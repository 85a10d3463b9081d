// Profile ("INI") text: the lookup and editing rules every system's profile files follow.
#include "platform/profile_text.h"

#include <limits>

namespace ordavel::platform {

namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

// One line of a file as stored: its text and the terminator that followed it ("", "\n", "\r\n").
struct RawLine {
    std::string text;
    std::string ending;
};

std::vector<RawLine> SplitLines(std::string_view content) {
    std::vector<RawLine> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const auto newline = content.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(content.substr(start)), ""});
            break;
        }
        std::string_view text = content.substr(start, newline - start);
        if (!text.empty() && text.back() == '\r') {
            lines.push_back({std::string(text.substr(0, text.size() - 1)), "\r\n"});
        } else {
            lines.push_back({std::string(text), "\n"});
        }
        start = newline + 1;
    }
    // A final line without terminator may still end in a lone carriage return.
    if (!lines.empty() && lines.back().ending.empty() && !lines.back().text.empty() &&
        lines.back().text.back() == '\r') {
        lines.back().text.pop_back();
    }
    return lines;
}

// The section name of a "[name]" line, or nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Splits "key = value"; nullopt for lines without '=' and for ";" comment lines.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
}

// Where a key's line is (or would be inserted) within the first section of that name.
struct KeyPosition {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t index = 0;  // the key's line, or the line to insert before
};

template <typename Lines, typename TextOf>
KeyPosition FindKey(const Lines& lines, std::string_view section, std::string_view key,
                    TextOf textOf) {
    KeyPosition pos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = textOf(lines[i]);
        if (auto name = SectionName(line)) {
            if (pos.sectionFound) break;  // only the first section of that name counts
            if (EqualsNoCase(*name, section)) {
                pos.sectionFound = true;
                pos.index = i + 1;
            }
            continue;
        }
        if (!pos.sectionFound) continue;
        if (auto kv = KeyValue(line); kv && EqualsNoCase(kv->first, key)) {
            pos.keyFound = true;
            pos.index = i;
            return pos;
        }
        // New keys go after the section's last non-blank line, so blank lines that separate it
        // from the next section stay where they are.
        if (!Trim(line).empty()) pos.index = i + 1;
    }
    return pos;
}

// The terminator new lines get: the file's own (CRLF files stay CRLF), LF for new files.
std::string DominantEnding(const std::vector<RawLine>& lines) {
    for (const auto& line : lines) {
        if (!line.ending.empty()) return line.ending;
    }
    return "\n";
}

}  // namespace

ProfileFile ProfileFile::FromText(std::string_view text) {
    ProfileFile file;
    for (auto& line : SplitLines(text)) file.lines_.push_back(std::move(line.text));
    return file;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const {
    const auto pos = FindKey(lines_, section, key, [](const std::string& l) -> std::string_view { return l; });
    if (!pos.keyFound) return std::nullopt;
    const auto kv = KeyValue(lines_[pos.index]);
    std::string value(kv->second.substr(0, kProfileValueLimit));
    if (value.empty()) return std::nullopt;
    return value;
}

int32_t ProfileIntFromText(std::string_view value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    // Accumulate with saturation: an overlong number reads as the nearest 32-bit value rather
    // than wrapping into some unrelated (possibly valid) setting.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        result = result * 10 + (value[i] - '0');
        if (result > kLimit) result = kLimit;
    }
    if (negative) result = -result;
    if (result > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(result);
}

int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue) {
    const auto value = ReadProfileString(path, section, key);
    if (!value) return defaultValue;
    return ProfileIntFromText(*value);
}

std::string ApplyProfileEntries(std::string_view content, std::string_view section,
                                std::span<const std::pair<std::string, std::string>> entries) {
    auto lines = SplitLines(content);
    const std::string ending = DominantEnding(lines);
    for (const auto& [key, value] : entries) {
        const std::string entry = key + "=" + value;
        const auto pos = FindKey(lines, section, key, [](const RawLine& l) -> std::string_view { return l.text; });
        std::vector<RawLine> added;
        std::size_t at = pos.index;
        if (pos.keyFound) {
            lines[pos.index].text = entry;
        } else if (pos.sectionFound) {
            added.push_back({entry, ending});
        } else {
            at = lines.size();
            added.push_back({"[" + std::string(section) + "]", ending});
            added.push_back({entry, ending});
        }
        // Lines inserted after an unterminated last line need that line terminated first.
        if (!added.empty() && at > 0 && lines[at - 1].ending.empty()) lines[at - 1].ending = ending;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }

    std::string out;
    for (const auto& line : lines) out += line.text + line.ending;
    return out;
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    const std::pair<std::string, std::string> entry{std::string(key), std::string(value)};
    return WriteProfileStrings(path, section, std::span(&entry, 1));
}

}  // namespace ordavel::platform
