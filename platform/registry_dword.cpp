// 32-bit values of a registry key, in the registry's little-endian layout on every system.
#include "platform/registry_store.h"

namespace ordavel::platform {

bool RegistryKey::setDword(const std::string& name, uint32_t value) const {
    RegistryValue v{kRegistryDword, {}};
    for (int shift = 0; shift < 32; shift += 8) v.bytes.push_back(static_cast<uint8_t>(value >> shift));
    return setValue(name, v);
}

}  // namespace ordavel::platform
