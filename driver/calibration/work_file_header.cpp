// Parsing and formatting the text header of raw work files.
#include "driver/calibration/work_file_header.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace ordavel::calibration {

namespace {

// What may follow a number on its header line: nothing but blanks (a CR from a CRLF copy included).
bool OnlyBlanks(std::string_view rest) {
    return std::all_of(rest.begin(), rest.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

std::optional<int32_t> ParseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end == text.data()) return std::nullopt;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    if (!OnlyBlanks(text.substr(static_cast<std::size_t>(end - text.data())))) return std::nullopt;
    return static_cast<int32_t>(value);
}

bool IsRealNumber(std::string_view text) {
    std::string copy(text);
    char* end = nullptr;
    std::strtod(copy.c_str(), &end);
    if (end == copy.c_str()) return false;
    return OnlyBlanks(std::string_view(copy).substr(static_cast<std::size_t>(end - copy.c_str())));
}

// Hands out the header's lines one by one; each must end in a line feed within the bytes given.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> next() {
        std::size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = text_.substr(position_, end - position_);
        position_ = end + 1;
        return line;
    }
    std::size_t position() const { return position_; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<WorkFileHeader> ParseWorkFileHeader(std::span<const uint8_t> bytes) {
    bytes = bytes.first(std::min(bytes.size(), kHeaderReadLimit));
    LineReader reader(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

    auto first = reader.next();
    if (!first || first->empty() || first->front() != 'v') return std::nullopt;
    auto version = ParseInteger(first->substr(1));
    auto pixels = reader.next();
    if (!version || !pixels) return std::nullopt;
    auto pixelsPerLine = ParseInteger(*pixels);
    auto real = reader.next();
    if (!pixelsPerLine || !real || !IsRealNumber(*real)) return std::nullopt;

    int integerLines = *version > 1 ? 7 : 6;  // lines 4 to 9, and line 10 from version 2 on
    for (int i = 0; i < integerLines; ++i) {
        auto line = reader.next();
        if (!line || !ParseInteger(*line)) return std::nullopt;
    }
    return WorkFileHeader{*version, *pixelsPerLine, reader.position()};
}

std::string FormatWorkFileHeader(const WorkFileHeaderFields& fields) {
    std::string text = "v2\n";
    text += std::to_string(fields.pixelsPerLine) + "\n";
    text += "0.00\n0\n";
    text += std::to_string(fields.channelMode) + "\n";
    text += std::to_string(fields.depthCode) + "\n";
    text += std::to_string(fields.lines) + "\n";
    text += std::to_string(fields.hres) + "\n";
    text += std::to_string(fields.yres) + "\n";
    text += "2\n";
    return text;
}

}  // namespace ordavel::calibration
