// Placing a finished line in the output buffer: position by line order, copy or decimation to
// the output width, and red/blue swap for bottom-up colour rows.
#pragma once

#include <cstdint>

#include "driver/engine/line_processor_state.h"
#include "driver/engine/scan_parms.h"

namespace ordavel::engine {

// Where line `linesThisCall` of this call goes. In bitmap order the call's earlier lines first
// move down one row, so that the call's lines end up bottom-up.
uint8_t* MakeRowForNextLine(const LineGeometry& geometry);

// The line is placed as built (no decimation): it can then be built right in its row.
bool PlacesLineAsBuilt(const LineGeometry& geometry);

// Decimates the work line into `row` (when the line is not placed as built) and swaps red and
// blue of bottom-up colour rows.
void CompletePlacedRow(const LineGeometry& geometry, const LineProcessorState& state, uint8_t* row);

}  // namespace ordavel::engine
