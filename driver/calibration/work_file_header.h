// The text header of a raw work file (".pxl"): parsing it to find the pixels per line and where
// the binary lines begin, and formatting one for a file the driver writes itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ordavel::calibration {

// The reader only ever looks at this many bytes from the start of a work file.
inline constexpr std::size_t kHeaderReadLimit = 259;

struct WorkFileHeader {
    int32_t version = 0;
    int32_t pixelsPerLine = 0;
    std::size_t dataStart = 0;  // offset of the first binary line, right after the last header line
};

// Parses the header from the first bytes of a file (at most kHeaderReadLimit are looked at).
// Line 1 is "v" and the decimal version; line 2 the pixels per line; line 3 a real number; lines 4
// to 9 integers; line 10 one more integer when the version is above 1. Every line must end in a
// line feed within the bytes looked at. Nothing is returned when the header is malformed.
std::optional<WorkFileHeader> ParseWorkFileHeader(std::span<const uint8_t> bytes);

// The fields of the ten-line header the acquisition writes before the raw lines.
struct WorkFileHeaderFields {
    int32_t pixelsPerLine = 0;
    int32_t channelMode = 0;
    int32_t depthCode = 4;  // 4 = 16-bit samples
    int32_t lines = 0;
    int32_t hres = 0;
    int32_t yres = 0;
};

std::string FormatWorkFileHeader(const WorkFileHeaderFields& fields);

}  // namespace ordavel::calibration
