// Reading gamma file sections: comments, entry lines, invalid lines and short-table stretching.
#include "driver/description/gamma_file_reader.h"

#include <cctype>
#include <cstring>

#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

namespace {

// A short table covers indices below this and is stretched fourfold.
constexpr int32_t kShortTableEntries = 0x400;
constexpr int32_t kLastIndex = 0xFFF;

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Entries 4k to 4k+3 take entry k, working downward so the table stretches in place.
void StretchShortTable(std::span<uint8_t, kGammaEntries> table, int32_t highest) {
    for (int32_t k = highest; k >= 0; --k) {
        for (int32_t j = 0; j < 4; ++j) table[static_cast<std::size_t>(4 * k + j)] = table[static_cast<std::size_t>(k)];
    }
}

bool IsShortTable(int32_t highest) { return highest > 0 && highest < kShortTableEntries; }

// Two numbers as "%X %X" reads them.
bool ParseEntry(const char* text, uint32_t& index, uint32_t& value) {
    std::size_t pos = 0;
    return ParseHexNumber(text, pos, index) && ParseHexNumber(text, pos, value);
}

void ReportInvalidEntry(DriverContext& ctx, const char* line) {
    std::size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
    device::Report(ctx, "Invalid entry: %.*s", static_cast<int>(length), line);
}

}  // namespace

bool ParseHexNumber(const char* text, std::size_t& pos, uint32_t& value) {
    std::size_t p = pos;
    while (IsBlank(text[p])) ++p;
    bool negative = false;
    if (text[p] == '+' || text[p] == '-') negative = text[p++] == '-';
    if (text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X') && HexDigit(text[p + 2]) >= 0) p += 2;
    if (HexDigit(text[p]) < 0) return false;
    uint64_t number = 0;
    for (; HexDigit(text[p]) >= 0; ++p) {
        number = number * 16 + static_cast<uint64_t>(HexDigit(text[p]));
        if (number > 0xFFFFFFFFu) number = 0x100000000u;  // saturates; stays out of range
    }
    uint32_t result = number > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(number);
    if (negative) result = 0u - result;
    value = result;
    pos = p;
    return true;
}

void ReadGammaChannel(DriverContext& ctx, std::FILE* file, std::span<uint8_t, kGammaEntries> table) {
    char line[kGammaLineLength + 1];
    int32_t highest = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        const char* text = line;
        while (*text != '\0' && IsBlank(*text)) ++text;
        if (*text == '\0') continue;
        if (*text == ';') {
            if (highest == 0) continue;  // a section header
            if (IsShortTable(highest)) {
                StretchShortTable(table, highest);
                return;
            }
        }
        uint32_t index = 0;
        uint32_t value = 0;
        if (!ParseEntry(text, index, value)) {
            ReportInvalidEntry(ctx, line);
            continue;
        }
        // The index is the number's 32-bit pattern taken as signed, as the highest-index
        // bookkeeping below expects.
        const auto signedIndex = static_cast<int32_t>(index);
        if (signedIndex >= 0 && signedIndex <= kLastIndex) {
            table[static_cast<std::size_t>(signedIndex)] = static_cast<uint8_t>(value & 0xFF);
        } else {
            device::Report(ctx, "Invalid offset %x", index);
        }
        if (signedIndex > highest) highest = signedIndex;
        if (signedIndex == kLastIndex) return;
    }
    if (IsShortTable(highest)) StretchShortTable(table, highest);
}

}  // namespace ordavel::description
