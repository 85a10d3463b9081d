// The operating system's device set-up facilities, exactly as the installer uses them: driver
// update for present devices, the INF store, INF reading, device information sets and the class
// installer, the profile reader for INF keys, and the few file and message calls around them.
// One implementation per operating system. Everything crosses as plain values (handles are
// integers, a GUID is four fields) so the installer logic never sees an OS type. Texts are UTF-8;
// an implementation whose system speaks another code page converts at this boundary. Failing calls
// leave a Windows error code (platform/setup_errors.h) for GetLastError, on every platform.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel::platform {

using WindowHandle = std::uintptr_t;   // owner window; 0 for none
using InfHandle = std::uintptr_t;      // an open INF file
using DeviceInfoSet = std::uintptr_t;  // a device information set
inline constexpr std::uintptr_t kInvalidSetupHandle = ~std::uintptr_t{0};

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};
    bool operator==(const Guid&) const = default;
};

// "{4D36E978-E325-11CE-BFC1-08002BE10318}" (braces optional, any letter case).
std::optional<Guid> ParseGuid(std::string_view text);
std::string FormatGuid(const Guid& guid);  // upper case, with braces

// A position in an open INF: which file, section and line.
struct InfContext {
    std::uintptr_t inf = 0;
    std::uintptr_t currentInf = 0;
    uint32_t section = 0;
    uint32_t line = 0;
};

// One device of a device information set.
struct DeviceInfoData {
    Guid classGuid;
    uint32_t devInst = 0;
    std::uintptr_t reserved = 0;
};

// Flag and selector values, as the Windows headers define them.
inline constexpr uint32_t kInfStyleWin4 = 2;           // INF_STYLE_WIN4
inline constexpr uint32_t kInstallFlagForce = 1;       // INSTALLFLAG_FORCE
inline constexpr uint32_t kSourceMediaPath = 1;        // SPOST_PATH
inline constexpr uint32_t kCopyNoOverwrite = 8;        // SP_COPY_NOOVERWRITE
inline constexpr uint32_t kGenerateDeviceId = 1;       // DICD_GENERATE_ID
inline constexpr uint32_t kClassDevsPresent = 2;       // DIGCF_PRESENT
inline constexpr uint32_t kPropertyDeviceDesc = 0x00;  // SPDRP_DEVICEDESC
inline constexpr uint32_t kPropertyHardwareId = 0x01;  // SPDRP_HARDWAREID
inline constexpr uint32_t kRegistryString = 1;         // REG_SZ
inline constexpr uint32_t kRegistryMultiString = 7;    // REG_MULTI_SZ
enum class DiFunction : uint32_t { Remove = 0x05, RegisterDevice = 0x19 };

// Paths use this separator; directories come without a final one unless said otherwise.
#ifdef _WIN32
inline constexpr char kSetupPathSeparator = '\\';
#else
inline constexpr char kSetupPathSeparator = '/';
#endif

class DeviceSetup {
public:
    virtual ~DeviceSetup() = default;

    // The error code of the last failing call (0 after a call that succeeded and says so).
    virtual uint32_t GetLastError() const = 0;

    // Installs the INF's driver on every device whose hardware identifiers include `hardwareId`.
    virtual bool UpdateDriverForPlugAndPlayDevicesA(WindowHandle owner, const std::string& hardwareId,
                                                    const std::string& infPath, uint32_t installFlags) = 0;
    // Copies an INF into the system's INF store; `destination` receives the stored file's full path.
    virtual bool SetupCopyOEMInfA(const std::string& sourceInf, const std::string& mediaLocation,
                                  uint32_t mediaType, uint32_t copyStyle, std::span<char> destination,
                                  uint32_t* requiredSize) = 0;

    virtual InfHandle SetupOpenInfFileA(const std::string& path, const char* infClass, uint32_t infStyle,
                                        uint32_t* errorLine) = 0;
    virtual void SetupCloseInfFile(InfHandle inf) = 0;
    virtual bool SetupDiGetINFClassA(const std::string& infPath, Guid& classGuid, std::span<char> className,
                                     uint32_t* requiredSize) = 0;
    virtual bool SetupDiClassGuidsFromNameA(const std::string& className, std::span<Guid> guids,
                                            uint32_t* requiredSize) = 0;
    // `key` null: the section's first line.
    virtual bool SetupFindFirstLineA(InfHandle inf, const std::string& section, const char* key,
                                     InfContext& context) = 0;
    virtual bool SetupFindNextLine(const InfContext& in, InfContext& out) = 0;
    virtual uint32_t SetupGetFieldCount(const InfContext& context) = 0;
    // Field 0 is the line's key; fields 1.. its comma-separated values.
    virtual bool SetupGetStringFieldA(const InfContext& context, uint32_t field, std::span<char> buffer,
                                      uint32_t* requiredSize) = 0;

    virtual DeviceInfoSet SetupDiCreateDeviceInfoList(const Guid* classGuid, WindowHandle owner) = 0;
    virtual bool SetupDiCreateDeviceInfoA(DeviceInfoSet set, const std::string& deviceName, const Guid& classGuid,
                                          const char* description, WindowHandle owner, uint32_t flags,
                                          DeviceInfoData* data) = 0;
    virtual bool SetupDiSetDeviceRegistryPropertyA(DeviceInfoSet set, DeviceInfoData& data, uint32_t property,
                                                   std::span<const uint8_t> value) = 0;
    virtual bool SetupDiCallClassInstaller(DiFunction function, DeviceInfoSet set, DeviceInfoData* data) = 0;
    virtual DeviceInfoSet SetupDiGetClassDevsA(const Guid* classGuid, const char* enumerator, WindowHandle owner,
                                               uint32_t flags) = 0;
    virtual bool SetupDiEnumDeviceInfo(DeviceInfoSet set, uint32_t index, DeviceInfoData& data) = 0;
    virtual bool SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, const DeviceInfoData& data, uint32_t property,
                                                   uint32_t* type, std::span<uint8_t> buffer,
                                                   uint32_t* requiredSize) = 0;
    virtual bool SetupDiDestroyDeviceInfoList(DeviceInfoSet set) = 0;

    // The profile reader on an INF: copies at most buffer.size() - 1 characters, returns the count.
    virtual uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                              const std::string& defaultValue, std::span<char> buffer,
                                              const std::string& path) = 0;

    virtual std::string GetWindowsDirectoryA() = 0;
    virtual std::string GetSystemDirectoryA() = 0;
    virtual bool DeleteFileA(const std::string& path) = 0;
    // Names (not paths) of the files in `directory` matching a "*.ext" or "*" pattern, matched
    // without regard to letter case as the Windows file system does; empty when it cannot be listed.
    virtual std::vector<std::string> FindFilesA(const std::string& directory, const std::string& pattern) = 0;
    // The system's message text for an error code, when it has one.
    virtual std::optional<std::string> FormatSystemMessage(uint32_t code) = 0;
};

// The device set-up of the system the program runs on, configured from its environment.
std::shared_ptr<DeviceSetup> CreateDeviceSetup();

}  // namespace ordavel::platform
