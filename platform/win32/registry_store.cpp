// Keys of the current user's registry through the registry calls themselves.
#include "platform/registry_store.h"

#include <windows.h>

namespace ordavel::platform {

namespace {

HKEY AsKey(std::uintptr_t handle) { return reinterpret_cast<HKEY>(handle); }

bool WantsWrite(uint32_t access) { return (access & (kKeySetValue | kKeyCreateSubKey)) != 0; }

}  // namespace

RegistryKey::~RegistryKey() {
    if (handle_ != 0) ::RegCloseKey(AsKey(handle_));
}

std::optional<RegistryKey> RegistryKey::CreateOrOpen(const std::string& subKey, uint32_t access) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                          &key, &disposition) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return RegistryKey("HKEY_CURRENT_USER\\" + subKey, access, reinterpret_cast<std::uintptr_t>(key));
}

std::optional<RegistryKey> RegistryKey::Open(const std::string& subKey, uint32_t access) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, access, &key) != ERROR_SUCCESS) return std::nullopt;
    return RegistryKey("HKEY_CURRENT_USER\\" + subKey, access, reinterpret_cast<std::uintptr_t>(key));
}

bool RegistryKey::setValue(const std::string& name, const RegistryValue& value) const {
    if (handle_ == 0 || !WantsWrite(access_)) return false;
    return ::RegSetValueExA(AsKey(handle_), name.c_str(), 0, value.type, value.bytes.data(),
                            static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

bool RegistryKey::deleteValue(const std::string& name) const {
    if (handle_ == 0 || !WantsWrite(access_)) return false;
    const LSTATUS rc = ::RegDeleteValueA(AsKey(handle_), name.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::optional<RegistryValue> RegistryKey::query(const std::string& name) const {
    if (handle_ == 0) return std::nullopt;
    // Asked for its size first, then read; a value that grows in between is read again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (::RegQueryValueExA(AsKey(handle_), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        RegistryValue value{type, std::vector<uint8_t>(size)};
        const LSTATUS rc = ::RegQueryValueExA(AsKey(handle_), name.c_str(), nullptr, &type, value.bytes.data(), &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return std::nullopt;
        value.type = type;
        value.bytes.resize(size);
        return value;
    }
    return std::nullopt;
}

}  // namespace ordavel::platform
