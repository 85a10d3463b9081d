// Controller memory units: 1/256 of the controller's buffer, the unit of the data counter and
// the pause limit.
#include "driver/description/register_programming.h"
#include "driver/interface/driver_context.h"

namespace ordavel::description {

int32_t MemUnitsToBytes(const DriverContext& ctx, int32_t units) {
    return units * (ctx.description.RAM_WordSize / 128) * 1024;
}

int32_t BytesToMemUnits(const DriverContext& ctx, int32_t bytes) {
    // A description always holds 256 or 1024; a record that was never loaded holds 0, for
    // which there is no memory to count in.
    if (ctx.description.RAM_WordSize <= 0) return 0;
    return (bytes / 1024) * 128 / ctx.description.RAM_WordSize;
}

}  // namespace ordavel::description
