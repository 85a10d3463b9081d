// Line output state: started flag, totals, destination, colour merging and mirror buffers.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "driver/engine/line_processor_state.h"

namespace ordavel::engine {

struct LineOutputState {
    bool started = false;          // started for the current scan (cleared at scan open)
    bool restarted = false;        // the first controller line has arrived and restarted it
    int32_t outputBytesPerLine = 0;
    int32_t totalOutputBytes = 0;  // output lines x output bytes per line
    int32_t totalDelivered = 0;    // bytes handed to destinations during this scan
    int32_t waiting = 0;           // output bytes at the image buffer's start not yet delivered

    // Preparing a controller line for the processor.
    bool reduceToEightBits = false;   // 16-bit samples in bitmap order keep their high byte
    bool mergeColourLines = false;    // colour arrives one channel per controller line
    bool mirror = false;
    int32_t controllerLineBytes = 0;  // one controller line without its 2 trailing bytes
    int32_t colourLine = 0;           // which colour of the current pixel line comes next
    std::vector<uint8_t> eightBitLine;
    std::vector<uint8_t> assemblyLine;
    std::vector<uint8_t> mirrorLine;

    std::array<uint8_t, kBitmapHeaderCapacity> scratch{};  // where the processor writes headers
    std::FILE* bitmapFile = nullptr;                       // the debug bitmap, Debug only
};

}  // namespace ordavel::engine
