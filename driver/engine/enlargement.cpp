// Placeholder: this layer is not built yet.
#include "driver/engine/enlargement.h"

namespace ordavel::engine {

bool EnlargeThreeHalves(uint8_t*, int32_t& bytes, bool, const EnlargementRequest&, EnlargementCarry&) {
    bytes = 0;
    return false;
}

}  // namespace ordavel::engine
