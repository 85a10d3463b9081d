// Finding the override section: each line is matched against the pattern
// " [ word low:high ]" the way a C scanner would read it (blanks skipped before the word and
// before each number, the colon directly after low), counting the items read.
#include "driver/description/override_section.h"

#include <cstring>
#include <limits>

#include "driver/description/value_syntax.h"

namespace ordavel::description {

namespace {

struct PatternMatch {
    int items = 0;  // how many of word, low, high were read
    std::string_view word;
    int32_t low = 0;
    int32_t high = 0;
};

class LineCursor {
public:
    explicit LineCursor(std::string_view line) : line_(line) {}

    void skipBlanks() {
        while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
    }
    bool take(char c) {
        if (pos_ < line_.size() && line_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::string_view word() {
        skipBlanks();
        const std::size_t start = pos_;
        while (pos_ < line_.size() && !IsBlank(line_[pos_])) ++pos_;
        return line_.substr(start, pos_ - start);
    }
    // A decimal integer after optional blanks and sign. Numbers beyond the 32-bit range
    // saturate, so an absurd bound still compares sensibly instead of wrapping.
    bool integer(int32_t& value) {
        skipBlanks();
        std::size_t p = pos_;
        bool negative = false;
        if (p < line_.size() && (line_[p] == '+' || line_[p] == '-')) negative = line_[p++] == '-';
        const std::size_t digits = p;
        int64_t result = 0;
        constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 1;
        for (; p < line_.size() && line_[p] >= '0' && line_[p] <= '9'; ++p) {
            result = result * 10 + (line_[p] - '0');
            if (result > kCap) result = kCap;
        }
        if (p == digits) return false;
        pos_ = p;
        if (negative) result = -result;
        if (result > std::numeric_limits<int32_t>::max()) result = std::numeric_limits<int32_t>::max();
        value = static_cast<int32_t>(result);
        return true;
    }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

PatternMatch MatchPattern(std::string_view line) {
    PatternMatch m;
    LineCursor cursor(line);
    cursor.skipBlanks();
    if (!cursor.take('[')) return m;
    m.word = cursor.word();
    if (m.word.empty()) return m;
    m.items = 1;
    if (!cursor.integer(m.low)) return m;
    m.items = 2;
    if (!cursor.take(':')) return m;
    if (!cursor.integer(m.high)) return m;
    m.items = 3;
    return m;
}

// The section name the line declares: from just after its first "[" up to the next "]",
// without surrounding blanks (section names are compared without them).
bool SectionNameOf(std::string_view line, std::string& name) {
    const auto open = line.find('[');
    const auto close = line.find(']', open + 1);
    if (close == std::string_view::npos) return false;
    std::string_view inner = line.substr(open + 1, close - open - 1);
    while (!inner.empty() && IsBlank(inner.front())) inner.remove_prefix(1);
    while (!inner.empty() && IsBlank(inner.back())) inner.remove_suffix(1);
    name = std::string(inner);
    return true;
}

}  // namespace

OverrideScan ScanOverrideLine(std::string_view line, int32_t xResolution) {
    // The line is a C string to the reader: it ends at the first NUL byte.
    line = line.substr(0, line.find('\0'));
    OverrideScan scan;
    const PatternMatch m = MatchPattern(line);
    if (m.items < 1 || !EqualsNoCase(m.word, "hdpi")) return scan;
    if (m.items < 3 || m.low > m.high) {
        scan.outcome = OverrideScan::Outcome::SyntaxError;
        return scan;
    }
    if (xResolution < m.low || xResolution > m.high) return scan;
    // A matching line without a closing "]" names no section: treated as malformed.
    scan.outcome = SectionNameOf(line, scan.section) ? OverrideScan::Outcome::Found
                                                     : OverrideScan::Outcome::SyntaxError;
    return scan;
}

OverrideScan FindOverrideSection(std::string_view content, int32_t xResolution) {
    // Whole lines are scanned, however long: the tail of a long line is never read as a line of
    // its own (a fixed-size line reader would split it).
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        OverrideScan scan = ScanOverrideLine(content.substr(start, end - start), xResolution);
        if (scan.outcome != OverrideScan::Outcome::None) return scan;
        start = end + 1;
    }
    return {};
}

}  // namespace ordavel::description
