// The device set-up on Linux, over real files: present USB devices from sysfs, INF files read
// with the INF reader, the INF store and driver folders under the Windows directory, a device
// store of installed and root-enumerated devices, a udev rule giving the logged-in user access
// to each USB device a stored driver serves, and a udev hardware-database file marking the
// stored scanner drivers' devices as scanners for SANE's rules. Every root is configurable, so the same code
// runs on the real system and in a scratch tree.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/device_setup.h"
#include "platform/inf_file.h"
#include "platform/setup_device_store.h"
#include "platform/setup_inf_store.h"

namespace ordavel::platform {

struct PosixSetupRoots {
    std::string windowsDirectory;    // $MIRT_WINDIR, else the build's default
    std::string systemDirectory;     // $MIRT_SYSTEMDIR, else <windows>/system32
    std::string sysfsRoot;           // $MIRT_SYSFS, else /sys
    std::string deviceStore;         // $MIRT_DEVICE_STORE, else <windows>/devices
    std::string udevRulesDirectory;  // $MIRT_UDEV_RULES_DIR, else /etc/udev/rules.d
    // $MIRT_UDEVADM (empty: no reload), else "udevadm" from the PATH.
    std::optional<std::string> udevadm;
    // $MIRT_UDEV_HWDB_DIR, else /etc/udev/hwdb.d (empty: no hardware-database file).
    std::string udevHwdbDirectory;
    // $MIRT_SYSTEMD_HWDB (empty: the database is not compiled), else "systemd-hwdb" from the PATH.
    std::optional<std::string> systemdHwdb;

    static PosixSetupRoots FromEnvironment();
};

class PosixDeviceSetup final : public DeviceSetup {
public:
    explicit PosixDeviceSetup(PosixSetupRoots roots);
    ~PosixDeviceSetup() override;

    // INF handles and device information sets still open (none after a well-behaved caller).
    std::size_t openHandles() const { return infs_.size() + sets_.size(); }

    uint32_t GetLastError() const override { return lastError_; }
    bool UpdateDriverForPlugAndPlayDevicesA(WindowHandle owner, const std::string& hardwareId,
                                            const std::string& infPath, uint32_t installFlags) override;
    bool SetupCopyOEMInfA(const std::string& sourceInf, const std::string& mediaLocation, uint32_t mediaType,
                          uint32_t copyStyle, std::span<char> destination, uint32_t* requiredSize) override;
    InfHandle SetupOpenInfFileA(const std::string& path, const char* infClass, uint32_t infStyle,
                                uint32_t* errorLine) override;
    void SetupCloseInfFile(InfHandle inf) override;
    bool SetupDiGetINFClassA(const std::string& infPath, Guid& classGuid, std::span<char> className,
                             uint32_t* requiredSize) override;
    bool SetupDiClassGuidsFromNameA(const std::string& className, std::span<Guid> guids,
                                    uint32_t* requiredSize) override;
    bool SetupFindFirstLineA(InfHandle inf, const std::string& section, const char* key,
                             InfContext& context) override;
    bool SetupFindNextLine(const InfContext& in, InfContext& out) override;
    uint32_t SetupGetFieldCount(const InfContext& context) override;
    bool SetupGetStringFieldA(const InfContext& context, uint32_t field, std::span<char> buffer,
                              uint32_t* requiredSize) override;
    DeviceInfoSet SetupDiCreateDeviceInfoList(const Guid* classGuid, WindowHandle owner) override;
    bool SetupDiCreateDeviceInfoA(DeviceInfoSet set, const std::string& deviceName, const Guid& classGuid,
                                  const char* description, WindowHandle owner, uint32_t flags,
                                  DeviceInfoData* data) override;
    bool SetupDiSetDeviceRegistryPropertyA(DeviceInfoSet set, DeviceInfoData& data, uint32_t property,
                                           std::span<const uint8_t> value) override;
    bool SetupDiCallClassInstaller(DiFunction function, DeviceInfoSet set, DeviceInfoData* data) override;
    DeviceInfoSet SetupDiGetClassDevsA(const Guid* classGuid, const char* enumerator, WindowHandle owner,
                                       uint32_t flags) override;
    bool SetupDiEnumDeviceInfo(DeviceInfoSet set, uint32_t index, DeviceInfoData& data) override;
    bool SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, const DeviceInfoData& data, uint32_t property,
                                           uint32_t* type, std::span<uint8_t> buffer,
                                           uint32_t* requiredSize) override;
    bool SetupDiDestroyDeviceInfoList(DeviceInfoSet set) override;
    uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                      const std::string& defaultValue, std::span<char> buffer,
                                      const std::string& path) override;
    std::string GetWindowsDirectoryA() override { return roots_.windowsDirectory; }
    std::string GetSystemDirectoryA() override { return roots_.systemDirectory; }
    bool DeleteFileA(const std::string& path) override;
    std::vector<std::string> FindFilesA(const std::string& directory, const std::string& pattern) override;
    std::optional<std::string> FormatSystemMessage(uint32_t code) override;

private:
    struct Element {
        DeviceRecord record;
        bool registered = false;  // recorded in the device store
    };
    struct InfoSet {
        std::optional<Guid> classGuid;
        std::vector<Element> elements;
    };

    bool Fail(uint32_t code);
    bool Succeed();
    std::optional<InfFile> LoadInf(const std::string& path, uint32_t* errorLine);
    Element* ElementOf(DeviceInfoSet set, const DeviceInfoData& data);
    bool IsPresent(const DeviceRecord& record, const std::vector<PresentUsbDevice>& usb) const;

    PosixSetupRoots roots_;
    DeviceStore devices_;
    InfStore infStore_;
    uint32_t lastError_ = 0;
    std::uintptr_t nextHandle_ = 0x1000;
    std::map<std::uintptr_t, InfFile> infs_;
    std::map<std::uintptr_t, InfoSet> sets_;
};

}  // namespace ordavel::platform
