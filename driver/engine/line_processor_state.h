// Line processor state, rebuilt at every start: positions, steps, ring of input lines, work line.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ordavel::engine {

// File header (14 bytes), information header (40 bytes) and at most two palette entries.
inline constexpr int kBitmapHeaderCapacity = 14 + 40 + 8;

struct LineProcessorState {
    std::array<double, 3> positions{};  // channel positions in input lines (numbered from 1)
    double evenOdd = 0.0;               // extra offset of odd input pixels
    double xs = 1.0;                    // horizontal step: actual / requested resolution
    double ys = 1.0;                    // vertical step
    uint8_t depthMask = 0xFF;           // where a sample sits in its byte
    int32_t channels = 1;               // 1 in channel mode 4, else 3
    int32_t bitCount = 8;               // bits per pixel of the output rows

    // The ring of the most recent input lines: line n lives in slot (n - 1) mod ringLines.
    int32_t ringLines = 0;
    int32_t slotBytes = 0;              // stride of a slot (at least the input line)
    std::vector<uint8_t> ring;
    std::vector<uint8_t*> slots;        // the pointer table into `ring`
    int32_t received = 0;               // input lines received so far
    int32_t lowest = 1;                 // lowest line number still held

    std::vector<uint8_t> workLine;
    std::array<uint8_t, kBitmapHeaderCapacity> headers{};
    int32_t headerBytes = 0;            // 0 when the headers are not built (or freed)
};

}  // namespace ordavel::engine
