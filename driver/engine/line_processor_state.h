// Line processor state, rebuilt at every start: positions, steps, ring of input lines, work line.
#pragma once

namespace ordavel::engine {

struct LineProcessorState {};

}  // namespace ordavel::engine
