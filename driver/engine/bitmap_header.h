// The bitmap file and information headers (with the black-and-white palette) that describe the
// line processor's output rows; the debug bitmap of a sheet starts with them.
#pragma once

#include <array>
#include <cstdint>

#include "driver/engine/line_processor_state.h"
#include "driver/engine/scan_parms.h"

namespace ordavel::engine {

// Bits per pixel of the output rows: three channels 24 (48 with 16-bit samples); one channel 1
// for 1-bit samples, 16 for 16-bit samples, otherwise 8.
int32_t BitmapBitCount(const LineGeometry& geometry);

// Row length in bytes, padded to a multiple of 4.
int32_t BitmapRowBytes(int32_t bitCount, int32_t width);

// Writes the 54 header bytes and the palette (two entries for 1-bit rows, none otherwise) into
// `out`; returns the number of bytes written.
int32_t BuildBitmapHeaders(const LineGeometry& geometry, int32_t bitCount,
                           std::array<uint8_t, kBitmapHeaderCapacity>& out);

}  // namespace ordavel::engine
