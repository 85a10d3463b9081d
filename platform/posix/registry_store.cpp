// The file-backed key store on POSIX.
#include "platform/registry_store.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ordavel::platform {

namespace {

namespace fs = std::filesystem;

std::string RegistryRoot();

// No value of this store is near this size; anything larger is not one of its files.
constexpr std::size_t kLargestValueFile = 1 << 20;

bool WantsWrite(uint32_t access) { return (access & (kKeySetValue | kKeyCreateSubKey)) != 0; }

// "SOFTWARE\USBHalvex" as a folder under the root; empty for names that would leave it.
std::string KeyFolder(const std::string& subKey) {
    const std::string root = RegistryRoot();
    if (root.empty() || subKey.empty()) return {};
    std::string folder = root + "/HKEY_CURRENT_USER";
    std::size_t start = 0;
    while (start <= subKey.size()) {
        std::size_t end = subKey.find('\\', start);
        if (end == std::string::npos) end = subKey.size();
        const std::string part = subKey.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) return {};
        folder += "/" + part;
        start = end + 1;
    }
    return folder;
}

bool ValidValueName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

bool UsableFolder(const std::string& folder, uint32_t access) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    const int mode = WantsWrite(access) ? (R_OK | W_OK | X_OK) : (R_OK | X_OK);
    return ::access(folder.c_str(), mode) == 0;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The store's root folder.
std::string RegistryRoot() {
    if (const char* root = std::getenv("MIRT_REGISTRY"); root != nullptr && *root != '\0') return root;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0') {
        return std::string(config) + "/mirt/registry";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::string(home) + "/.config/mirt/registry";
    }
    return {};
}

}  // namespace

RegistryKey::~RegistryKey() = default;

std::optional<RegistryKey> RegistryKey::CreateOrOpen(const std::string& subKey, uint32_t access) {
    const std::string folder = KeyFolder(subKey);
    if (folder.empty()) return std::nullopt;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return std::nullopt;
    ::chmod(folder.c_str(), 0700);
    return Open(subKey, access);
}

std::optional<RegistryKey> RegistryKey::Open(const std::string& subKey, uint32_t access) {
    const std::string folder = KeyFolder(subKey);
    if (folder.empty() || !UsableFolder(folder, access)) return std::nullopt;
    return RegistryKey(folder, access);
}

bool RegistryKey::setValue(const std::string& name, const RegistryValue& value) const {
    if (!WantsWrite(access_) || !ValidValueName(name)) return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(4 + value.bytes.size());
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value.type >> shift));
    bytes.insert(bytes.end(), value.bytes.begin(), value.bytes.end());
    // Written beside the value and renamed over it, so a reader sees the old value or the new
    // one, never part of one.
    std::string temporary = folder_ + "/." + name + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), (folder_ + "/" + name + ".value").c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool RegistryKey::deleteValue(const std::string& name) const {
    if (!WantsWrite(access_) || !ValidValueName(name)) return false;
    return ::unlink((folder_ + "/" + name + ".value").c_str()) == 0 || errno == ENOENT;
}

std::optional<RegistryValue> RegistryKey::query(const std::string& name) const {
    if (!ValidValueName(name)) return std::nullopt;
    std::ifstream in(folder_ + "/" + name + ".value", std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        if (bytes.size() > kLargestValueFile) return std::nullopt;
    }
    if (bytes.size() < 4) return std::nullopt;
    RegistryValue value;
    value.type = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    value.bytes.assign(bytes.begin() + 4, bytes.end());
    return value;
}

}  // namespace ordavel::platform
