// Scan set-up state: current work file, calibrated flag, probe toggle, start stamps, progress.
#pragma once

namespace ordavel::engine {

struct SetupState {};

}  // namespace ordavel::engine
