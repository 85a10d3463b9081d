// Placing a finished work line in the output buffer: position by line order, copy or decimate
// to the output width, and red/blue swap for bottom-up colour rows.
#pragma once

#include <cstdint>

#include "driver/engine/line_processor_state.h"
#include "driver/engine/scan_parms.h"

namespace ordavel::engine {

// Places the work line as line `linesThisCall` of this call and returns where it went.
uint8_t* PlaceWorkLine(const LineGeometry& geometry, const LineProcessorState& state);

}  // namespace ordavel::engine
