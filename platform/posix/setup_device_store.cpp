// The POSIX device store and the present USB devices.
#include "platform/setup_device_store.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cstdio>

#include <unistd.h>

#include "platform/setup_errors.h"
#include "platform/setup_files.h"

namespace ordavel::platform {

namespace {

constexpr std::size_t kRecordLimit = 1 << 20;
constexpr char kRecordSuffix[] = ".device";

// Instance identifiers become file names: the path separator '\' is written as '#'.
std::string FileNameOf(const std::string& instanceId) {
    std::string name = instanceId;
    for (char& c : name) {
        if (c == '\\') c = '#';
        if (c == '/') c = '_';
    }
    return name + kRecordSuffix;
}

std::optional<DeviceRecord> ParseRecord(const std::string& text) {
    DeviceRecord r;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "InstanceId") r.instanceId = value;
        else if (key == "Class") r.className = value;
        else if (key == "ClassGUID") r.classGuid = value;
        else if (key == "DeviceDesc") r.description = value;
        else if (key == "HardwareID") r.hardwareIds.push_back(value);
        else if (key == "Driver") r.driverInf = value;
        else if (key == "Sysfs") r.sysfsName = value;
    }
    if (r.instanceId.empty()) return std::nullopt;
    return r;
}

// Values are kept on one line each; a line break inside one would split the record.
std::string OneLine(std::string value) {
    for (char& c : value) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return value;
}

std::string FormatRecord(const DeviceRecord& r) {
    std::string text = "InstanceId=" + OneLine(r.instanceId) + "\n";
    text += "Class=" + OneLine(r.className) + "\n";
    text += "ClassGUID=" + OneLine(r.classGuid) + "\n";
    text += "DeviceDesc=" + OneLine(r.description) + "\n";
    for (const auto& id : r.hardwareIds) text += "HardwareID=" + OneLine(id) + "\n";
    text += "Driver=" + OneLine(r.driverInf) + "\n";
    text += "Sysfs=" + OneLine(r.sysfsName) + "\n";
    return text;
}

std::optional<uint16_t> ReadHex16(const std::string& path) {
    uint32_t error = 0;
    auto text = setup_files::ReadFile(path, 64, error);
    if (!text) return std::nullopt;
    while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) text->pop_back();
    if (text->size() != 4) return std::nullopt;
    uint32_t value = 0;
    for (char c : *text) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<uint16_t>(value);
}

std::string Hex4(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v);
    return text;
}

}  // namespace

std::string DeviceStore::pathOf(const std::string& instanceId) const {
    return setup_files::JoinPath(directory_, FileNameOf(instanceId));
}

std::vector<DeviceRecord> DeviceStore::all() const {
    std::vector<DeviceRecord> records;
    for (const auto& name : setup_files::ListFiles(directory_, std::string("*") + kRecordSuffix)) {
        uint32_t error = 0;
        const auto text = setup_files::ReadFile(setup_files::JoinPath(directory_, name), kRecordLimit, error);
        if (!text) continue;
        if (auto record = ParseRecord(*text)) records.push_back(std::move(*record));
    }
    return records;
}

bool DeviceStore::contains(const std::string& instanceId) const { return setup_files::FileExists(pathOf(instanceId)); }

bool DeviceStore::write(const DeviceRecord& record, bool exclusive, uint32_t& error) const {
    if (!setup_files::MakeDirectories(directory_, error)) return false;
    if (!setup_files::WriteFileAtomically(pathOf(record.instanceId), FormatRecord(record), exclusive, error)) {
        if (exclusive && error == setup_error::kFileExists) error = setup_error::kDevinstAlreadyExists;
        return false;
    }
    return true;
}

bool DeviceStore::remove(const std::string& instanceId, uint32_t& error) const {
    if (::unlink(pathOf(instanceId).c_str()) != 0) {
        error = errno == ENOENT ? setup_error::kNoSuchDevinst : setup_files::ErrorFromErrno(errno);
        return false;
    }
    return true;
}

std::vector<std::string> PresentUsbDevice::hardwareIds() const {
    const std::string base = "USB\\VID_" + Hex4(vendor) + "&PID_" + Hex4(product);
    std::vector<std::string> ids;
    if (revision) ids.push_back(base + "&REV_" + Hex4(*revision));
    ids.push_back(base);
    return ids;
}

std::string PresentUsbDevice::instanceId() const {
    return "USB\\VID_" + Hex4(vendor) + "&PID_" + Hex4(product) + "\\" + sysfsName;
}

std::vector<PresentUsbDevice> PresentUsbDevices(const std::string& sysfsRoot) {
    std::vector<PresentUsbDevice> devices;
    const std::string base = setup_files::JoinPath(sysfsRoot, "bus/usb/devices");
    std::error_code ec;
    std::filesystem::directory_iterator it(base, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string dir = it->path().string();
        const auto vendor = ReadHex16(dir + "/idVendor");
        const auto product = ReadHex16(dir + "/idProduct");
        if (!vendor || !product) continue;
        devices.push_back({name, *vendor, *product, ReadHex16(dir + "/bcdDevice")});
    }
    std::sort(devices.begin(), devices.end(),
              [](const PresentUsbDevice& a, const PresentUsbDevice& b) { return a.sysfsName < b.sysfsName; });
    return devices;
}

}  // namespace ordavel::platform
