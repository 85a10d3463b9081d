// Reading the channel sections of a gamma file into 4096-entry tables.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

namespace ordavel {
class DriverContext;
}

namespace ordavel::description {

inline constexpr int kGammaEntries = 4096;
inline constexpr int kGammaChannels = 3;
// Longest line read at once; longer lines are read in pieces, each taken as a line.
inline constexpr int kGammaLineLength = 259;

// Reads one channel section from where the file stands and fills `table` (which the caller
// zeroed): a full table ends with the entry FFF, a short one (indices below 400 hex) at the
// next comment or the end of the file, and is then stretched to 4096 entries. Invalid lines
// are reported and skipped.
void ReadGammaChannel(DriverContext& ctx, std::FILE* file, std::span<uint8_t, kGammaEntries> table);

// One hexadecimal number as the C library reads it for "%X": optional blanks, sign and "0x"
// prefix; a value beyond 32 bits reads as FFFFFFFF. Advances `pos`; false when no digit.
bool ParseHexNumber(const char* text, std::size_t& pos, uint32_t& value);

}  // namespace ordavel::description
