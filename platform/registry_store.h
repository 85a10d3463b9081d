// Keys of the current user's registry. On Windows they are the registry's own; on POSIX a
// per-user key store stands in for it: one folder per key under a root ($MIRT_REGISTRY, else
// $XDG_CONFIG_HOME/mirt/registry, else ~/.config/mirt/registry), one file per value holding its
// type and bytes, each written atomically. Opening with write access fails where the store is
// not writable, so callers see the same failures a registry refusing the key would give.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ordavel::platform {

inline constexpr uint32_t kRegistryDword = 4;  // the value type of 32-bit little-endian values
inline constexpr uint32_t kKeySetValue = 0x0002;
inline constexpr uint32_t kKeyCreateSubKey = 0x0004;

struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
};

// An open key of the current user, closed when it goes. In the POSIX store values are kept as
// "<key folder>/<name>.value": four little-endian bytes of type, then the value's bytes.
class RegistryKey {
public:
    RegistryKey(RegistryKey&& other) noexcept
        : folder_(std::move(other.folder_)), access_(other.access_), handle_(std::exchange(other.handle_, 0)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        std::swap(folder_, other.folder_);
        std::swap(access_, other.access_);
        std::swap(handle_, other.handle_);
        return *this;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

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

    // Where the key lives: the store's folder, or the key's full name in the registry.
    const std::string& folder() const { return folder_; }

private:
    RegistryKey(std::string folder, uint32_t access, std::uintptr_t handle = 0)
        : folder_(std::move(folder)), access_(access), handle_(handle) {}
    std::string folder_;
    uint32_t access_;
    std::uintptr_t handle_;  // the system's open key, where it has one
};

}  // namespace ordavel::platform
