// Value syntax of the scanner description: integers ("0x" hexadecimal as a 32-bit pattern, or
// signed decimal) and floats (the usual C form), each valid only when exactly one number is
// present and nothing but blanks follows. Written out by hand rather than with a scanf-family
// call so that no input, however long or odd, can overrun a buffer or overflow silently.
#include "driver/description/value_syntax.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "driver/description/description_loader.h"

namespace ordavel::description {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool OnlyBlanksFrom(std::string_view text, std::size_t pos) {
    for (; pos < text.size(); ++pos) {
        if (!IsBlank(text[pos])) return false;
    }
    return true;
}

// "0x" followed by hex digits. More than 32 significant bits is not a 32-bit pattern and is
// refused rather than truncated or saturated, so a typo never becomes some other valid value.
bool ParseHex(std::string_view text, int32_t& value) {
    std::size_t pos = 2;
    uint64_t result = 0;
    const std::size_t digitsStart = pos;
    for (; pos < text.size() && HexDigitValue(text[pos]) >= 0; ++pos) {
        result = result * 16 + static_cast<uint64_t>(HexDigitValue(text[pos]));
        if (result > std::numeric_limits<uint32_t>::max()) return false;
    }
    if (pos == digitsStart || !OnlyBlanksFrom(text, pos)) return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(result));
    return true;
}

// Optional leading blanks and sign, then decimal digits; numbers outside the 32-bit range are
// refused (the decimal form has no "pattern" reading).
bool ParseDecimal(std::string_view text, int32_t& value) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t digitsStart = pos;
    int64_t result = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        result = result * 10 + (text[pos] - '0');
        if (result > kLimit) return false;
    }
    if (pos == digitsStart || !OnlyBlanksFrom(text, pos)) return false;
    if (negative) result = -result;
    if (result > std::numeric_limits<int32_t>::max()) return false;
    value = static_cast<int32_t>(result);
    return true;
}

// Length of a C decimal floating-point number at the start of `text` (without sign): digits with
// an optional point and fraction (or a point and at least one digit), optional exponent. 0 when
// there is none.
std::size_t FloatBodyLength(std::string_view text) {
    std::size_t pos = 0;
    std::size_t mantissaDigits = 0;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++mantissaDigits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) ++pos, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) ++exp;
        const std::size_t expDigits = exp;
        while (exp < text.size() && IsDigit(text[exp])) ++exp;
        if (exp > expDigits) pos = exp;  // "1e" is the number 1 followed by the word "e"
    }
    return pos;
}

}  // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string CleanValue(std::string_view value) {
    const auto comment = value.find("//");
    if (comment != std::string_view::npos) value = value.substr(0, comment);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return std::string(value);
}

std::string_view FirstWord(std::string_view value) {
    std::size_t start = 0;
    while (start < value.size() && IsBlank(value[start])) ++start;
    std::size_t end = start;
    while (end < value.size() && !IsBlank(value[end])) ++end;
    return value.substr(start, end - start);
}

bool ParseIntValue(const char* text, int32_t& value) {
    if (text == nullptr) return false;
    const std::string_view t(text);
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) return ParseHex(t, value);
    return ParseDecimal(t, value);
}

bool ParseFloatValue(const char* text, double& value) {
    if (text == nullptr) return false;
    std::string_view t(text);
    std::size_t pos = 0;
    while (pos < t.size() && IsBlank(t[pos])) ++pos;
    bool negative = false;
    if (pos < t.size() && (t[pos] == '+' || t[pos] == '-')) {
        negative = t[pos] == '-';
        ++pos;
    }
    const std::size_t length = FloatBodyLength(t.substr(pos));
    if (length == 0 || !OnlyBlanksFrom(t, pos + length)) return false;
    double result = 0.0;
    // from_chars is locale-independent: a decimal point is always ".".
    const auto [end, ec] = std::from_chars(t.data() + pos, t.data() + pos + length, result,
                                           std::chars_format::general);
    if (ec != std::errc() || end != t.data() + pos + length) return false;
    value = negative ? -result : result;
    return true;
}

}  // namespace ordavel::description
