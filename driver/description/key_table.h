// The description key table: one row per key, walked in order by the description parser.
#pragma once

#include <array>
#include <cstdint>
#include <variant>

#include "driver/description/scanner_description.h"

namespace ordavel::description {

enum class KeyKind { Text, Choice, IntChoice, IntRange, FloatRange };

// Chips a row applies to, as a bit mask over chip numbers (bit 0 LM9831, bit 1 LM9832, bit 2 LM9833).
inline constexpr uint8_t kAllChips = 0b111;
inline constexpr uint8_t kLM9831Only = 0b001;
inline constexpr uint8_t kLM9832And9833 = 0b110;

using FieldRef = std::variant<int32_t ScannerDescription::*, double ScannerDescription::*,
                              char (ScannerDescription::*)[kTextFieldSize]>;

struct KeyRow {
    const char* section;
    const char* key;
    KeyKind kind;
    // Choice/IntChoice/Text: the word list (up to eight, ends at the first null).
    // IntRange/FloatRange: the low and high limits as written.
    std::array<const char*, 8> words;
    uint8_t chips;
    FieldRef field;
};

inline constexpr std::size_t kKeyRowCount = 147;
extern const std::array<KeyRow, kKeyRowCount> kKeyTable;

}  // namespace ordavel::description
