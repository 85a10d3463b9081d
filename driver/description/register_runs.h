// Splitting a register image into runs of consecutive written registers, each sent in one
// incrementing transfer.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/description/register_image.h"

namespace ordavel::description {

struct RegisterRun {
    int first = 0;                 // register number of the first entry
    std::vector<uint8_t> values;   // low 8 bits of each entry, in register order
};

// Maximal stretches of written entries from register `from` up to 0x7F; an unwritten entry
// ends the run before it.
std::vector<RegisterRun> SplitIntoRuns(const RegisterImage& image, int from);

}  // namespace ordavel::description
