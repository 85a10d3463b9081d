// The line processor: turns prepared input lines into output lines of the requested geometry
// (colour realignment, vertical and horizontal resampling, depth conversion, thresholding,
// placing in scan or bitmap order).
#pragma once

#include "driver/engine/line_processor_state.h"
#include "driver/engine/scan_parms.h"

namespace ordavel::engine {

enum class LineProcessorMode {
    Process,  // start when no line was fed yet, else take the current input line
    CleanUp,  // free the ring, the headers and the work line
};

// Start: builds the state and writes the bitmap headers at the output buffer; false when memory
// runs out. Taking a line: copies the current input line into the ring (when it is a new one)
// and produces the output lines that have become possible; never fails. Clean-up returns false.
bool ProcessLines(LineGeometry& geometry, LineProcessorState& state, LineProcessorMode mode);

// The depth of the bitmap rows the processor produces and the row length, from a geometry.
int32_t OutputBytesPerLine(const LineGeometry& geometry);

}  // namespace ordavel::engine
