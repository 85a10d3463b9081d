// The device set-up on Linux.
#include "platform/device_setup_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "platform/profile.h"
#include "platform/setup_errors.h"
#include "platform/setup_files.h"
#include "platform/windows_directory.h"

namespace ordavel::platform {

namespace {

namespace err = setup_error;
constexpr std::size_t kInfLimit = 16u << 20;

// The device classes this system installs into, by their standard identifiers. The set-up
// interface knows classes by name only through the system's class list; this is that list here.
struct KnownClass {
    const char* name;
    const char* guid;
};
constexpr KnownClass kKnownClasses[] = {
    {"Ports", "{4D36E978-E325-11CE-BFC1-08002BE10318}"},
    {"USB", "{36FC9E60-C465-11CF-8056-444553540000}"},
    {"Image", "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"},
};

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? std::string(value) : fallback;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Copies `text` and its terminator into `buffer`, or fails for a short buffer; `required` gets
// the size needed either way.
// An empty buffer only asks for the size, and succeeds.
bool CopyOut(const std::string& text, std::span<char> buffer, uint32_t* required) {
    if (required != nullptr) *required = static_cast<uint32_t>(text.size() + 1);
    if (buffer.empty()) return true;
    if (buffer.size() < text.size() + 1) return false;
    std::memcpy(buffer.data(), text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

std::vector<std::string> ParseMultiString(std::span<const uint8_t> value) {
    std::vector<std::string> list;
    std::string current;
    for (uint8_t byte : value) {
        if (byte != 0) {
            current += static_cast<char>(byte);
            continue;
        }
        if (current.empty()) break;  // the list's closing empty string
        list.push_back(std::move(current));
        current.clear();
    }
    if (!current.empty()) list.push_back(std::move(current));
    return list;
}

std::string UpperAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

bool HasHardwareId(const std::vector<std::string>& ids, const std::string& id) {
    return !id.empty() &&
           std::any_of(ids.begin(), ids.end(), [&](const std::string& candidate) { return EqualsIgnoringCase(candidate, id); });
}

}  // namespace

PosixSetupRoots PosixSetupRoots::FromEnvironment() {
    PosixSetupRoots roots;
    // The one Windows directory of the system, the one the client loads the driver from.
    roots.windowsDirectory = WindowsDirectory();
    roots.systemDirectory = EnvOr("MIRT_SYSTEMDIR", setup_files::JoinPath(roots.windowsDirectory, "system32"));
    roots.sysfsRoot = EnvOr("MIRT_SYSFS", "/sys");
    roots.deviceStore = EnvOr("MIRT_DEVICE_STORE", setup_files::JoinPath(roots.windowsDirectory, "devices"));
    roots.udevRulesDirectory = EnvOr("MIRT_UDEV_RULES_DIR", "/etc/udev/rules.d");
    const char* udevadm = std::getenv("MIRT_UDEVADM");
    roots.udevadm = udevadm != nullptr ? std::string(udevadm) : std::string("udevadm");
    // The administrator's folder: the packaged entry (cmake --install) lives under lib/udev.
    roots.udevHwdbDirectory = EnvOr("MIRT_UDEV_HWDB_DIR", "/etc/udev/hwdb.d");
    const char* hwdb = std::getenv("MIRT_SYSTEMD_HWDB");
    roots.systemdHwdb = hwdb != nullptr ? std::string(hwdb) : std::string("systemd-hwdb");
    return roots;
}

std::shared_ptr<DeviceSetup> CreateDeviceSetup() {
    return std::make_shared<PosixDeviceSetup>(PosixSetupRoots::FromEnvironment());
}

PosixDeviceSetup::PosixDeviceSetup(PosixSetupRoots roots)
    : roots_(std::move(roots)),
      devices_(roots_.deviceStore),
      infStore_(setup_files::JoinPath(roots_.windowsDirectory, "inf"),
                {roots_.udevRulesDirectory, roots_.udevadm, roots_.udevHwdbDirectory, roots_.systemdHwdb}) {}

PosixDeviceSetup::~PosixDeviceSetup() = default;

bool PosixDeviceSetup::Fail(uint32_t code) {
    lastError_ = code;
    return false;
}

bool PosixDeviceSetup::Succeed() {
    lastError_ = err::kSuccess;
    return true;
}

std::optional<InfFile> PosixDeviceSetup::LoadInf(const std::string& path, uint32_t* errorLine) {
    uint32_t error = 0;
    const auto text = setup_files::ReadFile(path, kInfLimit, error);
    if (!text) {
        Fail(error);
        return std::nullopt;
    }
    auto inf = InfFile::Parse(*text, &error, errorLine);
    if (!inf) {
        Fail(error);
        return std::nullopt;
    }
    if (!inf->isWin4Style()) {
        Fail(err::kWrongInfStyle);
        return std::nullopt;
    }
    return inf;
}

bool PosixDeviceSetup::IsPresent(const DeviceRecord& record, const std::vector<PresentUsbDevice>& usb) const {
    if (record.sysfsName.empty()) return true;  // root-enumerated devices are present once registered
    return std::any_of(usb.begin(), usb.end(),
                       [&](const PresentUsbDevice& d) { return d.instanceId() == record.instanceId; });
}

bool PosixDeviceSetup::UpdateDriverForPlugAndPlayDevicesA(WindowHandle, const std::string& hardwareId,
                                                          const std::string& infPath, uint32_t installFlags) {
    if ((installFlags & ~uint32_t{7}) != 0) return Fail(err::kInvalidFlags);
    uint32_t error = 0;
    const auto content = setup_files::ReadFile(infPath, kInfLimit, error);
    if (!content) return Fail(error);
    const auto inf = LoadInf(infPath, nullptr);
    if (!inf) return false;

    // Devices that answer to the identifier: present USB devices and registered root devices.
    std::vector<DeviceRecord> targets;
    for (const auto& usb : PresentUsbDevices(roots_.sysfsRoot)) {
        if (!HasHardwareId(usb.hardwareIds(), hardwareId)) continue;
        DeviceRecord r;
        r.instanceId = usb.instanceId();
        r.hardwareIds = usb.hardwareIds();
        r.sysfsName = usb.sysfsName;
        targets.push_back(std::move(r));
    }
    for (auto& r : devices_.all()) {
        if (r.sysfsName.empty() && HasHardwareId(r.hardwareIds, hardwareId)) targets.push_back(std::move(r));
    }
    if (targets.empty()) return Fail(err::kNoSuchDevinst);

    // Which driver: the INF must list the identifier in one of its models lines.
    const auto descriptions = ModelDescriptionsFor(*inf, hardwareId);
    if (descriptions.empty()) return Fail(err::kNoDriverSelected);
    const auto className = inf->value("Version", "Class").value_or("");
    std::string classGuid = inf->value("Version", "ClassGUID").value_or("");
    if (auto parsed = ParseGuid(classGuid)) classGuid = FormatGuid(*parsed);
    if (className.empty() && classGuid.empty()) return Fail(err::kNoAssociatedClass);

    const auto staged = infStore_.stage(infPath, *content, DirectoryOf(infPath), error);
    if (!staged) return Fail(error);
    if (!infStore_.syncAccessRules(error)) {
        if (!staged->existed) infStore_.unstage(staged->path);
        return Fail(error);
    }
    for (auto& r : targets) {
        r.className = className;
        r.classGuid = classGuid;
        r.description = descriptions.front();
        r.driverInf = staged->path;
        if (!devices_.write(r, false, error)) return Fail(error);
    }
    return Succeed();
}

bool PosixDeviceSetup::SetupCopyOEMInfA(const std::string& sourceInf, const std::string& mediaLocation,
                                        uint32_t mediaType, uint32_t copyStyle, std::span<char> destination,
                                        uint32_t* requiredSize) {
    if (mediaType > 2) return Fail(err::kInvalidParameter);
    uint32_t error = 0;
    const auto content = setup_files::ReadFile(sourceInf, kInfLimit, error);
    if (!content) return Fail(error);
    if (!LoadInf(sourceInf, nullptr)) return false;
    // A destination that would not fit the caller's buffer is refused before anything is copied.
    const std::string next = infStore_.nextFreeName();
    if (!destination.empty() && destination.size() < next.size() + 1) {
        if (requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(next.size() + 1);
        return Fail(err::kInsufficientBuffer);
    }
    const std::string location = mediaLocation.empty() ? DirectoryOf(sourceInf) : mediaLocation;
    const auto staged = infStore_.stage(sourceInf, *content, location, error);
    if (!staged) return Fail(error);
    if (!infStore_.syncAccessRules(error)) {
        if (!staged->existed) infStore_.unstage(staged->path);
        return Fail(error);
    }
    if (!destination.empty() && !CopyOut(staged->path, destination, requiredSize)) return Fail(err::kInsufficientBuffer);
    if (destination.empty() && requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(staged->path.size() + 1);
    // Told not to overwrite, an INF already in the store is a failure that still names it.
    if (staged->existed && (copyStyle & kCopyNoOverwrite) != 0) return Fail(err::kFileExists);
    return Succeed();
}

InfHandle PosixDeviceSetup::SetupOpenInfFileA(const std::string& path, const char* infClass, uint32_t infStyle,
                                              uint32_t* errorLine) {
    if ((infStyle & kInfStyleWin4) == 0) {
        Fail(err::kWrongInfStyle);
        return kInvalidSetupHandle;
    }
    auto inf = LoadInf(path, errorLine);
    if (!inf) return kInvalidSetupHandle;
    if (infClass != nullptr && !EqualsIgnoringCase(inf->value("Version", "Class").value_or(""), infClass)) {
        Fail(0xE0000201);  // ERROR_CLASS_MISMATCH
        return kInvalidSetupHandle;
    }
    const InfHandle handle = nextHandle_++;
    infs_.emplace(handle, std::move(*inf));
    Succeed();
    return handle;
}

void PosixDeviceSetup::SetupCloseInfFile(InfHandle inf) { infs_.erase(inf); }

bool PosixDeviceSetup::SetupDiGetINFClassA(const std::string& infPath, Guid& classGuid, std::span<char> className,
                                           uint32_t* requiredSize) {
    const auto inf = LoadInf(infPath, nullptr);
    if (!inf) return false;
    std::string name = inf->value("Version", "Class").value_or("");
    const auto guidText = inf->value("Version", "ClassGUID");
    const auto guid = guidText ? ParseGuid(*guidText) : std::nullopt;
    if (name.empty() && guid) {
        for (const auto& known : kKnownClasses) {
            if (ParseGuid(known.guid) == guid) name = known.name;
        }
    }
    if (name.empty()) return Fail(err::kNoAssociatedClass);
    classGuid = guid.value_or(Guid{});
    if (!CopyOut(name, className, requiredSize)) return Fail(err::kInsufficientBuffer);
    return Succeed();
}

bool PosixDeviceSetup::SetupDiClassGuidsFromNameA(const std::string& className, std::span<Guid> guids,
                                                  uint32_t* requiredSize) {
    std::vector<Guid> found;
    for (const auto& known : kKnownClasses) {
        if (EqualsIgnoringCase(known.name, className)) found.push_back(*ParseGuid(known.guid));
    }
    if (requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(found.size());
    if (guids.size() < found.size()) return Fail(err::kInsufficientBuffer);
    std::copy(found.begin(), found.end(), guids.begin());
    return Succeed();
}

bool PosixDeviceSetup::SetupFindFirstLineA(InfHandle inf, const std::string& section, const char* key,
                                           InfContext& context) {
    const auto it = infs_.find(inf);
    if (it == infs_.end()) return Fail(err::kInvalidHandle);
    const auto& sections = it->second.sections();
    for (std::size_t s = 0; s < sections.size(); ++s) {
        if (!EqualsIgnoringCase(sections[s].name, section)) continue;
        const auto& lines = sections[s].lines;
        for (std::size_t l = 0; l < lines.size(); ++l) {
            if (key != nullptr && !(lines[l].key && EqualsIgnoringCase(*lines[l].key, key))) continue;
            context = {inf, inf, static_cast<uint32_t>(s), static_cast<uint32_t>(l)};
            return Succeed();
        }
        return Fail(err::kLineNotFound);
    }
    return Fail(err::kSectionNotFound);
}

bool PosixDeviceSetup::SetupFindNextLine(const InfContext& in, InfContext& out) {
    const auto it = infs_.find(in.inf);
    if (it == infs_.end() || in.section >= it->second.sections().size()) return Fail(err::kInvalidParameter);
    const auto& lines = it->second.sections()[in.section].lines;
    if (in.line + 1 >= lines.size()) return Fail(err::kLineNotFound);
    out = in;
    out.line = in.line + 1;
    return Succeed();
}

uint32_t PosixDeviceSetup::SetupGetFieldCount(const InfContext& context) {
    const auto it = infs_.find(context.inf);
    if (it == infs_.end() || context.section >= it->second.sections().size()) {
        Fail(err::kInvalidParameter);
        return 0;
    }
    const auto& lines = it->second.sections()[context.section].lines;
    if (context.line >= lines.size()) {
        Fail(err::kInvalidParameter);
        return 0;
    }
    Succeed();
    return static_cast<uint32_t>(lines[context.line].fields.size());
}

bool PosixDeviceSetup::SetupGetStringFieldA(const InfContext& context, uint32_t field, std::span<char> buffer,
                                            uint32_t* requiredSize) {
    const auto it = infs_.find(context.inf);
    if (it == infs_.end() || context.section >= it->second.sections().size()) return Fail(err::kInvalidParameter);
    const auto& lines = it->second.sections()[context.section].lines;
    if (context.line >= lines.size()) return Fail(err::kInvalidParameter);
    const auto text = InfFile::Field(lines[context.line], field);
    if (!text) return Fail(err::kInvalidParameter);
    if (!CopyOut(*text, buffer, requiredSize)) return Fail(err::kInsufficientBuffer);
    return Succeed();
}

DeviceInfoSet PosixDeviceSetup::SetupDiCreateDeviceInfoList(const Guid* classGuid, WindowHandle) {
    const DeviceInfoSet handle = nextHandle_++;
    InfoSet set;
    if (classGuid != nullptr) set.classGuid = *classGuid;
    sets_.emplace(handle, std::move(set));
    Succeed();
    return handle;
}

bool PosixDeviceSetup::SetupDiCreateDeviceInfoA(DeviceInfoSet set, const std::string& deviceName,
                                                const Guid& classGuid, const char* description, WindowHandle,
                                                uint32_t flags, DeviceInfoData* data) {
    const auto it = sets_.find(set);
    if (it == sets_.end()) return Fail(err::kInvalidHandle);
    if ((flags & ~uint32_t{kGenerateDeviceId | 2}) != 0) return Fail(err::kInvalidFlags);
    if (it->second.classGuid && !(*it->second.classGuid == classGuid)) return Fail(0xE0000201);  // ERROR_CLASS_MISMATCH
    if (deviceName.empty()) return Fail(err::kInvalidDevinstName);
    std::string instanceId;
    if ((flags & kGenerateDeviceId) != 0) {
        // A generated identifier lives under ROOT and takes the first number nobody holds.
        if (deviceName.find('\\') != std::string::npos || deviceName.find('/') != std::string::npos) {
            return Fail(err::kInvalidDevinstName);
        }
        for (unsigned n = 0; n < 10000 && instanceId.empty(); ++n) {
            char number[8];
            std::snprintf(number, sizeof number, "%04u", n);
            const std::string candidate = "ROOT\\" + UpperAscii(deviceName) + "\\" + number;
            const bool inSet = std::any_of(it->second.elements.begin(), it->second.elements.end(),
                                           [&](const Element& e) { return e.record.instanceId == candidate; });
            if (!inSet && !devices_.contains(candidate)) instanceId = candidate;
        }
        if (instanceId.empty()) return Fail(err::kDevinstAlreadyExists);
    } else {
        instanceId = deviceName;
        if (devices_.contains(instanceId)) return Fail(err::kDevinstAlreadyExists);
    }
    Element element;
    element.record.instanceId = instanceId;
    element.record.classGuid = FormatGuid(classGuid);
    for (const auto& known : kKnownClasses) {
        if (ParseGuid(known.guid) == classGuid) element.record.className = known.name;
    }
    if (description != nullptr) element.record.description = description;
    it->second.elements.push_back(std::move(element));
    if (data != nullptr) {
        data->classGuid = classGuid;
        data->devInst = static_cast<uint32_t>(it->second.elements.size());
        data->reserved = it->second.elements.size();
    }
    return Succeed();
}

PosixDeviceSetup::Element* PosixDeviceSetup::ElementOf(DeviceInfoSet set, const DeviceInfoData& data) {
    const auto it = sets_.find(set);
    if (it == sets_.end()) {
        Fail(err::kInvalidHandle);
        return nullptr;
    }
    if (data.reserved == 0 || data.reserved > it->second.elements.size()) {
        Fail(err::kInvalidParameter);
        return nullptr;
    }
    return &it->second.elements[data.reserved - 1];
}

bool PosixDeviceSetup::SetupDiSetDeviceRegistryPropertyA(DeviceInfoSet set, DeviceInfoData& data, uint32_t property,
                                                         std::span<const uint8_t> value) {
    Element* element = ElementOf(set, data);
    if (element == nullptr) return false;
    DeviceRecord updated = element->record;
    if (property == kPropertyHardwareId) {
        updated.hardwareIds = ParseMultiString(value);
    } else if (property == kPropertyDeviceDesc) {
        const auto* bytes = reinterpret_cast<const char*>(value.data());
        updated.description.assign(bytes, strnlen(bytes, value.size()));
    } else {
        return Fail(err::kInvalidRegProperty);
    }
    uint32_t error = 0;
    if (element->registered && !devices_.write(updated, false, error)) return Fail(error);
    element->record = std::move(updated);
    return Succeed();
}

bool PosixDeviceSetup::SetupDiCallClassInstaller(DiFunction function, DeviceInfoSet set, DeviceInfoData* data) {
    if (data == nullptr) return Fail(err::kInvalidParameter);
    Element* element = ElementOf(set, *data);
    if (element == nullptr) return false;
    uint32_t error = 0;
    switch (function) {
        case DiFunction::RegisterDevice:
            if (element->registered) return Fail(err::kDevinstAlreadyExists);
            if (!devices_.write(element->record, true, error)) return Fail(error);
            element->registered = true;
            return Succeed();
        case DiFunction::Remove:
            if (!element->registered) return Fail(err::kDevinfoNotRegistered);
            if (!devices_.remove(element->record.instanceId, error)) return Fail(error);
            element->registered = false;
            return Succeed();
    }
    return Fail(err::kDiDoDefault);
}

DeviceInfoSet PosixDeviceSetup::SetupDiGetClassDevsA(const Guid* classGuid, const char* enumerator, WindowHandle,
                                                     uint32_t flags) {
    constexpr uint32_t kAllClasses = 4;
    if (classGuid == nullptr && (flags & kAllClasses) == 0) {
        Fail(err::kInvalidParameter);
        return kInvalidSetupHandle;
    }
    InfoSet set;
    if (classGuid != nullptr) set.classGuid = *classGuid;
    const auto usb = PresentUsbDevices(roots_.sysfsRoot);
    for (auto& record : devices_.all()) {
        const auto guid = ParseGuid(record.classGuid);
        if ((flags & kAllClasses) == 0 && !(guid && *guid == *classGuid)) continue;
        if (enumerator != nullptr) {
            const auto slash = record.instanceId.find('\\');
            if (!EqualsIgnoringCase(record.instanceId.substr(0, slash), enumerator)) continue;
        }
        if ((flags & kClassDevsPresent) != 0 && !IsPresent(record, usb)) continue;
        set.elements.push_back({std::move(record), true});
    }
    const DeviceInfoSet handle = nextHandle_++;
    sets_.emplace(handle, std::move(set));
    Succeed();
    return handle;
}

bool PosixDeviceSetup::SetupDiEnumDeviceInfo(DeviceInfoSet set, uint32_t index, DeviceInfoData& data) {
    const auto it = sets_.find(set);
    if (it == sets_.end()) return Fail(err::kInvalidHandle);
    if (index >= it->second.elements.size()) return Fail(err::kNoMoreItems);
    const auto& record = it->second.elements[index].record;
    data.classGuid = ParseGuid(record.classGuid).value_or(Guid{});
    data.devInst = index + 1;
    data.reserved = index + 1;
    return Succeed();
}

bool PosixDeviceSetup::SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, const DeviceInfoData& data,
                                                         uint32_t property, uint32_t* type, std::span<uint8_t> buffer,
                                                         uint32_t* requiredSize) {
    Element* element = ElementOf(set, data);
    if (element == nullptr) return false;
    std::string bytes;
    uint32_t valueType = kRegistryString;
    if (property == kPropertyDeviceDesc) {
        if (element->record.description.empty()) return Fail(err::kInvalidData);
        bytes = element->record.description + '\0';
    } else if (property == kPropertyHardwareId) {
        if (element->record.hardwareIds.empty()) return Fail(err::kInvalidData);
        for (const auto& id : element->record.hardwareIds) bytes += id + '\0';
        bytes += '\0';
        valueType = kRegistryMultiString;
    } else {
        return Fail(err::kInvalidRegProperty);
    }
    if (type != nullptr) *type = valueType;
    if (requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(bytes.size());
    if (buffer.size() < bytes.size()) return Fail(err::kInsufficientBuffer);
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    return Succeed();
}

bool PosixDeviceSetup::SetupDiDestroyDeviceInfoList(DeviceInfoSet set) {
    if (sets_.erase(set) == 0) return Fail(err::kInvalidHandle);
    return Succeed();
}

uint32_t PosixDeviceSetup::GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                                    const std::string& defaultValue, std::span<char> buffer,
                                                    const std::string& path) {
    if (buffer.empty()) return 0;
    std::string value = ReadProfileString(path, section, key).value_or(defaultValue);
    // The profile reader drops one pair of quotes around a value, as INF [Strings] values have.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    const std::size_t n = std::min(value.size(), buffer.size() - 1);
    std::memcpy(buffer.data(), value.data(), n);
    buffer[n] = '\0';
    lastError_ = err::kSuccess;
    return static_cast<uint32_t>(n);
}

bool PosixDeviceSetup::DeleteFileA(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return Fail(setup_files::ErrorFromErrno(errno));
    // A driver leaving the INF store takes its device access with it.
    if (DirectoryOf(path) == infStore_.directory()) {
        uint32_t error = 0;
        if (!infStore_.syncAccessRules(error)) return Fail(error);
    }
    return Succeed();
}

std::vector<std::string> PosixDeviceSetup::FindFilesA(const std::string& directory, const std::string& pattern) {
    return setup_files::ListFiles(directory, pattern);
}

// The system has a message text for the system error codes this layer produces from POSIX
// errors: the C library's description of the matching errno (English, whatever the locale).
// The set-up interface's own codes (0xE...) have none, as on Windows.
std::optional<std::string> PosixDeviceSetup::FormatSystemMessage(uint32_t code) {
    struct Text {
        uint32_t code;
        int error;
    };
    static constexpr Text kTexts[] = {
        {err::kFileNotFound, ENOENT},      {err::kPathNotFound, ENOTDIR}, {err::kAccessDenied, EACCES},
        {err::kInvalidHandle, EBADF},      {err::kNotEnoughMemory, ENOMEM}, {err::kGeneralFailure, EIO},
        {err::kFileExists, EEXIST},        {err::kInvalidParameter, EINVAL}, {err::kDiskFull, ENOSPC},
        {err::kFilenameTooLong, ENAMETOOLONG},
    };
    for (const auto& t : kTexts) {
        if (t.code == code) {
            const char* text = strerrordesc_np(t.error);
            if (text != nullptr) return std::string(text);
        }
    }
    return std::nullopt;
}

}  // namespace ordavel::platform
