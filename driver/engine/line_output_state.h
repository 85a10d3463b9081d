// Line output state: started flag, totals, destination, colour merging and mirror buffers.
#pragma once

namespace ordavel::engine {

struct LineOutputState {};

}  // namespace ordavel::engine
