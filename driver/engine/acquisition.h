// The acquisition state machine: one step per call (open, read step, finish).
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine {

// stop = true closes an open scan (or reports done with none open); stop = false opens a scan
// when none is open, else runs one read step. `done` is set when the scan has finished.
bool ScanSome(DriverContext& ctx, int32_t& done, bool stop);

}  // namespace ordavel::engine
