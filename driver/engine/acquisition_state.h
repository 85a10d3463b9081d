// Acquisition state of the one open scan: flags, buffers, transfer ring, counters.
#pragma once

namespace ordavel::engine {

struct AcquisitionState {};

}  // namespace ordavel::engine
