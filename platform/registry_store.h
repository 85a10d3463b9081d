// The per-user key store that stands in for the registry: one folder per key under a root
// ($MIRT_REGISTRY, else the user's configuration directory), one file per value holding its
// type and bytes, each written atomically. Opening with write access fails where the store is
// not writable, so callers see the same failures a registry refusing the key would give.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::platform {

inline constexpr uint32_t kRegistryDword = 4;  // the value type of 32-bit little-endian values
inline constexpr uint32_t kKeySetValue = 0x0002;
inline constexpr uint32_t kKeyCreateSubKey = 0x0004;

struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// An open key of the current user. Values are stored as "<key folder>/<name>.value": four
// little-endian bytes of type, then the value's bytes.
class RegistryKey {
public:
    // Creates the key (and the folders above it) when missing and opens it with `access`.
    // Nullopt when the store cannot hold the key or refuses the access.
    static std::optional<RegistryKey> CreateOrOpen(const std::string& subKey, uint32_t access);
    // Opens an existing key; nullopt when it is missing or refuses the access.
    static std::optional<RegistryKey> Open(const std::string& subKey, uint32_t access);

    // Replaces the value atomically; false when the key was not opened for writing or the
    // store refuses the write.
    bool setValue(const std::string& name, const RegistryValue& value) const;
    bool setDword(const std::string& name, uint32_t value) const;
    // Removes the value; true when it is gone afterwards (also when it never existed).
    bool deleteValue(const std::string& name) const;
    // The value, or nullopt when it is missing or its file is unreadable or malformed.
    std::optional<RegistryValue> query(const std::string& name) const;

    const std::string& folder() const { return folder_; }

private:
    RegistryKey(std::string folder, uint32_t access) : folder_(std::move(folder)), access_(access) {}
    std::string folder_;
    uint32_t access_;
};

// The store's root folder: $MIRT_REGISTRY when set, else $XDG_CONFIG_HOME/mirt/registry, else
// ~/.config/mirt/registry.
std::string RegistryRoot();

}  // namespace ordavel::platform
