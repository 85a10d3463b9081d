// The chip's digital line pipeline after the ADC: horizontal divider, per-pixel shading from the
// table memory, gamma and packing into the bytes that go into the image buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ordavel::virtual_scanner {

// Output pixel j averages the input samples covering [j·h/2, (j+1)·h/2) input pixels, weighted by
// the half pixels they contribute (so divider 1.5 gives (2a + b) / 3 and (a + 2b) / 3), truncated.
void DivideLine(const uint16_t* in, std::size_t inCount, int dividerHalves, uint16_t* out, std::size_t outCount);

// Shading word j belongs to output pixel j: subtract the offset word (floor 0), multiply by the
// gain word / 16384, saturate at 0xFFFF. Pixels past the tables' end see zero words.
void ShadeLine(uint16_t* values, std::size_t count, const uint16_t* offsets, const uint16_t* gains,
               std::size_t tableWords, bool useOffset, bool useGain);

// Depths below 16 bits: the 8-bit gamma output for the 12-bit index value >> 4.
void GammaLine(const uint16_t* values, std::size_t count, const uint8_t* table, uint8_t* out);

// Packs samples into `outBytes` bytes: 16 bits big-endian from `wide`, or 1/2/4/8 bits from the
// top bits of `narrow`, first sample in the most significant bits. Samples that do not fit in
// outBytes are dropped; a partly filled last byte is padded with zeros.
void PackLine(const uint16_t* wide, const uint8_t* narrow, std::size_t samples, int bits, uint8_t* out,
              std::size_t outBytes);

}  // namespace ordavel::virtual_scanner
