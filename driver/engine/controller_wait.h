// How long the driver waits on the controller while a scan runs: a controller that says it scans
// but never fills its buffer (or never stops), or whose data counter never reads the same three
// times running, would otherwise be polled for ever. A scan's first line comes after at most the
// skip move, a scan stopped by its count ends once its lines are in, and a counter that is
// changing settles as soon as the motor pauses or the lines stop, all within the longest move of
// the paper path; past that (or a minute where the description gives no speed, and at most a minute) the scan fails as
// a communication failure.
#pragma once

#include <cstdint>

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine::acquisition {

class ControllerWait {
public:
    // The wait starts now.
    explicit ControllerWait(DriverContext& ctx);
    // False, with the communication text, once the time is up.
    bool goesOn();

private:
    DriverContext& ctx_;
    uint32_t start_;
    uint32_t limit_ = 0;
};

}  // namespace ordavel::engine::acquisition
