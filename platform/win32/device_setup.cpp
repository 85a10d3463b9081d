// The device set-up on Windows: the SetupAPI and newdev calls themselves. Texts cross this
// boundary as UTF-8 and reach the narrow calls in the active code page; handles, GUIDs, INF
// positions and device records are the system's own, carried in the layer's plain types. The
// last-error value is the system's as each call left it.
#include <algorithm>
#include <cstring>

#include <windows.h>

#include <newdev.h>
#include <setupapi.h>

#include "platform/device_setup.h"
#include "platform/win32/wide_text.h"

namespace ordavel::platform {

namespace {

using win32::AnsiFromUtf8;
using win32::Utf8FromAnsi;

GUID ToSystem(const Guid& g) {
    GUID out{};
    out.Data1 = g.data1;
    out.Data2 = g.data2;
    out.Data3 = g.data3;
    std::memcpy(out.Data4, g.data4.data(), sizeof out.Data4);
    return out;
}

Guid FromSystem(const GUID& g) {
    Guid out;
    out.data1 = g.Data1;
    out.data2 = g.Data2;
    out.data3 = g.Data3;
    std::memcpy(out.data4.data(), g.Data4, sizeof g.Data4);
    return out;
}

INFCONTEXT ToSystem(const InfContext& c) {
    INFCONTEXT out{};
    out.Inf = reinterpret_cast<PVOID>(c.inf);
    out.CurrentInf = reinterpret_cast<PVOID>(c.currentInf);
    out.Section = c.section;
    out.Line = c.line;
    return out;
}

InfContext FromSystem(const INFCONTEXT& c) {
    return {reinterpret_cast<std::uintptr_t>(c.Inf), reinterpret_cast<std::uintptr_t>(c.CurrentInf), c.Section,
            c.Line};
}

SP_DEVINFO_DATA ToSystem(const DeviceInfoData& d) {
    SP_DEVINFO_DATA out{};
    out.cbSize = sizeof out;
    out.ClassGuid = ToSystem(d.classGuid);
    out.DevInst = d.devInst;
    out.Reserved = d.reserved;
    return out;
}

DeviceInfoData FromSystem(const SP_DEVINFO_DATA& d) { return {FromSystem(d.ClassGuid), d.DevInst, d.Reserved}; }

HDEVINFO AsSet(DeviceInfoSet set) { return reinterpret_cast<HDEVINFO>(set); }
DeviceInfoSet FromSet(HDEVINFO set) {
    return set == INVALID_HANDLE_VALUE ? kInvalidSetupHandle : reinterpret_cast<DeviceInfoSet>(set);
}
HWND AsWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// A narrow text of the system as UTF-8 in the caller's buffer; `required` gets the size needed.
// An empty buffer only asks for the size.
bool CopyOut(const std::string& ansi, std::span<char> buffer, uint32_t* required) {
    const std::string text = Utf8FromAnsi(ansi);
    if (required != nullptr) *required = static_cast<uint32_t>(text.size() + 1);
    if (buffer.empty()) return true;
    if (buffer.size() < text.size() + 1) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(buffer.data(), text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

// Room for any text these calls return: texts longer than this are not set-up texts.
constexpr DWORD kTextRoom = 4096;

class Win32DeviceSetup final : public DeviceSetup {
public:
    uint32_t GetLastError() const override { return lastError_; }

    bool UpdateDriverForPlugAndPlayDevicesA(WindowHandle owner, const std::string& hardwareId,
                                            const std::string& infPath, uint32_t installFlags) override {
        BOOL rebootRequired = FALSE;
        return track(::UpdateDriverForPlugAndPlayDevicesA(AsWindow(owner), AnsiFromUtf8(hardwareId).c_str(),
                                                          AnsiFromUtf8(infPath).c_str(), installFlags,
                                                          &rebootRequired));
    }

    bool SetupCopyOEMInfA(const std::string& sourceInf, const std::string& mediaLocation, uint32_t mediaType,
                          uint32_t copyStyle, std::span<char> destination, uint32_t* requiredSize) override {
        char stored[MAX_PATH * 2] = {};
        DWORD size = 0;
        const bool copied = track(::SetupCopyOEMInfA(AnsiFromUtf8(sourceInf).c_str(),
                                                     AnsiFromUtf8(mediaLocation).c_str(), mediaType, copyStyle,
                                                     stored, sizeof stored, &size, nullptr));
        // The stored name comes back also when the INF was there already (the no-overwrite case).
        if (stored[0] != '\0') keep([&] { return CopyOut(stored, destination, requiredSize); });
        return copied;
    }

    InfHandle SetupOpenInfFileA(const std::string& path, const char* infClass, uint32_t infStyle,
                                uint32_t* errorLine) override {
        UINT line = 0;
        const std::string klass = infClass != nullptr ? AnsiFromUtf8(infClass) : std::string();
        ::SetLastError(0);
        const HINF inf =
            ::SetupOpenInfFileA(AnsiFromUtf8(path).c_str(), infClass != nullptr ? klass.c_str() : nullptr, infStyle,
                                &line);
        lastError_ = ::GetLastError();
        if (errorLine != nullptr) *errorLine = line;
        return inf == INVALID_HANDLE_VALUE ? kInvalidSetupHandle : reinterpret_cast<InfHandle>(inf);
    }

    void SetupCloseInfFile(InfHandle inf) override { ::SetupCloseInfFile(reinterpret_cast<HINF>(inf)); }

    bool SetupDiGetINFClassA(const std::string& infPath, Guid& classGuid, std::span<char> className,
                             uint32_t* requiredSize) override {
        GUID guid{};
        char name[MAX_CLASS_NAME] = {};
        DWORD size = 0;
        if (!track(::SetupDiGetINFClassA(AnsiFromUtf8(infPath).c_str(), &guid, name, sizeof name, &size))) {
            return false;
        }
        classGuid = FromSystem(guid);
        return keep([&] { return CopyOut(name, className, requiredSize); });
    }

    bool SetupDiClassGuidsFromNameA(const std::string& className, std::span<Guid> guids,
                                    uint32_t* requiredSize) override {
        std::vector<GUID> found(guids.size() + 1);
        DWORD size = 0;
        const bool ok = track(::SetupDiClassGuidsFromNameA(AnsiFromUtf8(className).c_str(), found.data(),
                                                           static_cast<DWORD>(guids.size()), &size));
        if (requiredSize != nullptr) *requiredSize = size;
        for (std::size_t i = 0; ok && i < guids.size() && i < size; ++i) guids[i] = FromSystem(found[i]);
        return ok;
    }

    bool SetupFindFirstLineA(InfHandle inf, const std::string& section, const char* key,
                             InfContext& context) override {
        INFCONTEXT found{};
        const std::string ansiKey = key != nullptr ? AnsiFromUtf8(key) : std::string();
        const bool ok = track(::SetupFindFirstLineA(reinterpret_cast<HINF>(inf), AnsiFromUtf8(section).c_str(),
                                                    key != nullptr ? ansiKey.c_str() : nullptr, &found));
        if (ok) context = FromSystem(found);
        return ok;
    }

    bool SetupFindNextLine(const InfContext& in, InfContext& out) override {
        INFCONTEXT from = ToSystem(in);
        INFCONTEXT next{};
        const bool ok = track(::SetupFindNextLine(&from, &next));
        if (ok) out = FromSystem(next);
        return ok;
    }

    uint32_t SetupGetFieldCount(const InfContext& context) override {
        INFCONTEXT at = ToSystem(context);
        ::SetLastError(0);
        const DWORD count = ::SetupGetFieldCount(&at);
        lastError_ = ::GetLastError();
        return count;
    }

    bool SetupGetStringFieldA(const InfContext& context, uint32_t field, std::span<char> buffer,
                              uint32_t* requiredSize) override {
        INFCONTEXT at = ToSystem(context);
        std::string text(kTextRoom, '\0');
        DWORD size = 0;
        if (!track(::SetupGetStringFieldA(&at, field, text.data(), kTextRoom, &size))) return false;
        text.resize(std::strlen(text.c_str()));
        return keep([&] { return CopyOut(text, buffer, requiredSize); });
    }

    DeviceInfoSet SetupDiCreateDeviceInfoList(const Guid* classGuid, WindowHandle owner) override {
        const GUID guid = classGuid != nullptr ? ToSystem(*classGuid) : GUID{};
        ::SetLastError(0);
        const HDEVINFO set = ::SetupDiCreateDeviceInfoList(classGuid != nullptr ? &guid : nullptr, AsWindow(owner));
        lastError_ = ::GetLastError();
        return FromSet(set);
    }

    bool SetupDiCreateDeviceInfoA(DeviceInfoSet set, const std::string& deviceName, const Guid& classGuid,
                                  const char* description, WindowHandle owner, uint32_t flags,
                                  DeviceInfoData* data) override {
        const GUID guid = ToSystem(classGuid);
        const std::string ansiDescription = description != nullptr ? AnsiFromUtf8(description) : std::string();
        SP_DEVINFO_DATA created{};
        created.cbSize = sizeof created;
        const bool ok = track(::SetupDiCreateDeviceInfoA(AsSet(set), AnsiFromUtf8(deviceName).c_str(), &guid,
                                                         description != nullptr ? ansiDescription.c_str() : nullptr,
                                                         AsWindow(owner), flags, &created));
        if (ok && data != nullptr) *data = FromSystem(created);
        return ok;
    }

    bool SetupDiSetDeviceRegistryPropertyA(DeviceInfoSet set, DeviceInfoData& data, uint32_t property,
                                           std::span<const uint8_t> value) override {
        SP_DEVINFO_DATA device = ToSystem(data);
        const bool ok = track(::SetupDiSetDeviceRegistryPropertyA(AsSet(set), &device, property, value.data(),
                                                                  static_cast<DWORD>(value.size())));
        if (ok) data = FromSystem(device);
        return ok;
    }

    bool SetupDiCallClassInstaller(DiFunction function, DeviceInfoSet set, DeviceInfoData* data) override {
        SP_DEVINFO_DATA device = data != nullptr ? ToSystem(*data) : SP_DEVINFO_DATA{};
        const bool ok = track(::SetupDiCallClassInstaller(static_cast<DI_FUNCTION>(function), AsSet(set),
                                                          data != nullptr ? &device : nullptr));
        if (ok && data != nullptr) *data = FromSystem(device);
        return ok;
    }

    DeviceInfoSet SetupDiGetClassDevsA(const Guid* classGuid, const char* enumerator, WindowHandle owner,
                                       uint32_t flags) override {
        const GUID guid = classGuid != nullptr ? ToSystem(*classGuid) : GUID{};
        const std::string ansiEnumerator = enumerator != nullptr ? AnsiFromUtf8(enumerator) : std::string();
        ::SetLastError(0);
        const HDEVINFO set = ::SetupDiGetClassDevsA(classGuid != nullptr ? &guid : nullptr,
                                                    enumerator != nullptr ? ansiEnumerator.c_str() : nullptr,
                                                    AsWindow(owner), flags);
        lastError_ = ::GetLastError();
        return FromSet(set);
    }

    bool SetupDiEnumDeviceInfo(DeviceInfoSet set, uint32_t index, DeviceInfoData& data) override {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        const bool ok = track(::SetupDiEnumDeviceInfo(AsSet(set), index, &device));
        if (ok) data = FromSystem(device);
        return ok;
    }

    bool SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, const DeviceInfoData& data, uint32_t property,
                                           uint32_t* type, std::span<uint8_t> buffer,
                                           uint32_t* requiredSize) override {
        SP_DEVINFO_DATA device = ToSystem(data);
        DWORD valueType = 0, size = 0;
        const bool ok = track(::SetupDiGetDeviceRegistryPropertyA(AsSet(set), &device, property, &valueType,
                                                                  buffer.data(), static_cast<DWORD>(buffer.size()),
                                                                  &size));
        if (type != nullptr) *type = valueType;
        if (requiredSize != nullptr) *requiredSize = size;
        // A text property reaches the caller in UTF-8, like every other text of the layer.
        if (ok && (valueType == REG_SZ || valueType == REG_MULTI_SZ) && size <= buffer.size()) {
            const std::string text = Utf8FromAnsi(
                std::string_view(reinterpret_cast<const char*>(buffer.data()), size));
            if (text.size() > buffer.size()) {
                lastError_ = ERROR_INSUFFICIENT_BUFFER;
                if (requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(text.size());
                return false;
            }
            std::memcpy(buffer.data(), text.data(), text.size());
            if (requiredSize != nullptr) *requiredSize = static_cast<uint32_t>(text.size());
        }
        return ok;
    }

    bool SetupDiDestroyDeviceInfoList(DeviceInfoSet set) override {
        return track(::SetupDiDestroyDeviceInfoList(AsSet(set)));
    }

    uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                      const std::string& defaultValue, std::span<char> buffer,
                                      const std::string& path) override {
        if (buffer.empty()) return 0;
        std::string text(buffer.size(), '\0');
        const DWORD got = ::GetPrivateProfileStringA(AnsiFromUtf8(section).c_str(), AnsiFromUtf8(key).c_str(),
                                                     AnsiFromUtf8(defaultValue).c_str(), text.data(),
                                                     static_cast<DWORD>(text.size()), AnsiFromUtf8(path).c_str());
        text.resize(got);
        std::string utf8 = Utf8FromAnsi(text);
        // Cut to the buffer, never inside a character.
        std::size_t length = std::min(utf8.size(), buffer.size() - 1);
        while (length > 0 && length < utf8.size() && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80) {
            --length;
        }
        std::memcpy(buffer.data(), utf8.data(), length);
        buffer[length] = '\0';
        return static_cast<uint32_t>(length);
    }

    std::string GetWindowsDirectoryA() override {
        char path[MAX_PATH + 1];
        const UINT length = ::GetWindowsDirectoryA(path, sizeof path);
        return length == 0 || length >= sizeof path ? std::string() : Utf8FromAnsi(std::string_view(path, length));
    }

    std::string GetSystemDirectoryA() override {
        char path[MAX_PATH + 1];
        const UINT length = ::GetSystemDirectoryA(path, sizeof path);
        return length == 0 || length >= sizeof path ? std::string() : Utf8FromAnsi(std::string_view(path, length));
    }

    bool DeleteFileA(const std::string& path) override { return track(::DeleteFileA(AnsiFromUtf8(path).c_str())); }

    std::vector<std::string> FindFilesA(const std::string& directory, const std::string& pattern) override {
        std::vector<std::string> names;
        std::string query = directory;
        if (!query.empty() && query.back() != '\\') query += '\\';
        query += pattern;
        WIN32_FIND_DATAA entry{};
        const HANDLE search = ::FindFirstFileA(AnsiFromUtf8(query).c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(Utf8FromAnsi(entry.cFileName));
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
        return names;
    }

    std::optional<std::string> FormatSystemMessage(uint32_t code) override {
        char* text = nullptr;
        const DWORD length = ::FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
            0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
        if (length == 0 || text == nullptr) return std::nullopt;
        std::string message(text, length);
        ::LocalFree(text);
        // The system's text ends its own line; the report ends the line itself.
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
            message.pop_back();
        }
        return Utf8FromAnsi(message);
    }

private:
    // A system call's result: a failing call leaves the system's last-error value, a call that
    // succeeded leaves 0.
    bool track(BOOL result) {
        lastError_ = result ? 0 : ::GetLastError();
        return result != FALSE;
    }

    // The layer's own work after a call keeps the call's last-error value unless it fails.
    template <typename F>
    bool keep(F&& step) {
        const uint32_t saved = lastError_;
        const bool ok = step();
        lastError_ = ok ? saved : ::GetLastError();
        return ok;
    }

    uint32_t lastError_ = 0;
};

}  // namespace

std::shared_ptr<DeviceSetup> CreateDeviceSetup() { return std::make_shared<Win32DeviceSetup>(); }

}  // namespace ordavel::platform
