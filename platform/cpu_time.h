// CPU time used, for the programs' own statistics (not for timing work).
#pragma once

namespace ordavel::platform {

// Seconds of CPU the calling thread has used.
double ThreadCpuSeconds();

}  // namespace ordavel::platform
