// Operation 8: create a root-enumerated serial port device from "ZEVVCOM.INF", register it and
// install its driver. Each failing step ends the operation with that step's report; whatever
// happens, a registered device without its driver is removed again and every handle is closed.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "installer/error_report.h"
#include "installer/log_lines.h"
#include "installer/operations.h"
#include "platform/setup_errors.h"

namespace installer {

namespace {

namespace ps = ordavel::platform;

constexpr const char* kStepOpenInf = "SetupOpenInfFile";
constexpr const char* kStepSearch = "search for specified device";
constexpr const char* kStepCreateList = "SetupDiCreateDeviceInfoList";
constexpr const char* kStepCreateDevice = "SetupDiCreateDeviceInfo or SetupDiSetDeviceRegistryProperty";
constexpr const char* kStepRegister = "SetupDiCallClassInstaller(DIF_REGISTERDEVICE)";
constexpr const char* kStepUpdate = "UpdateDriverForPlugAndPlayDevices";

// A field of an INF line at whatever length it has (the size is asked first).
std::optional<std::string> StringField(ps::DeviceSetup& setup, const ps::InfContext& line, uint32_t index) {
    uint32_t required = 0;
    if (!setup.SetupGetStringFieldA(line, index, {}, &required) || required == 0) return std::nullopt;
    std::vector<char> buffer(required);
    if (!setup.SetupGetStringFieldA(line, index, buffer, nullptr)) return std::nullopt;
    buffer.back() = '\0';
    return std::string(buffer.data());
}

// The first hardware identifier of the first models line that the Manufacturer section leads
// to; a models line without identifiers gives an empty one.
std::optional<std::string> FindDeviceToInstall(ps::DeviceSetup& setup, ps::InfHandle inf) {
    ps::InfContext manufacturer{};
    if (!setup.SetupFindFirstLineA(inf, "Manufacturer", nullptr, manufacturer)) return std::nullopt;
    do {
        const auto modelsSection = StringField(setup, manufacturer, 1);
        if (!modelsSection) continue;
        ps::InfContext model{};
        if (!setup.SetupFindFirstLineA(inf, *modelsSection, nullptr, model)) continue;
        // Field 0 is the description, field 1 the install section, fields 2.. the identifiers.
        if (setup.SetupGetFieldCount(model) < 2) return std::string();
        return StringField(setup, model, 2).value_or(std::string());
    } while (setup.SetupFindNextLine(manufacturer, manufacturer));
    return std::nullopt;
}

struct Failure {
    const char* step;
    uint32_t code;
};

}  // namespace

bool InstallRootEnumeratedDevice(InstallerContext& ctx) {
    ps::DeviceSetup& setup = ctx.setup;
    const std::string infPath = JoinPath(ctx.installerDirectory, "ZEVVCOM.INF");
    ps::InfHandle inf = ps::kInvalidSetupHandle;
    ps::DeviceInfoSet devices = ps::kInvalidSetupHandle;
    ps::DeviceInfoData device{};
    bool registered = false;

    auto run = [&]() -> std::optional<Failure> {
        inf = setup.SetupOpenInfFileA(infPath, nullptr, ps::kInfStyleWin4, nullptr);
        if (inf == ps::kInvalidSetupHandle) return Failure{kStepOpenInf, setup.GetLastError()};
        ps::Guid classGuid{};
        std::vector<char> className(32);  // the longest class name the system allows
        if (!setup.SetupDiGetINFClassA(infPath, classGuid, className, nullptr)) {
            return Failure{kStepOpenInf, setup.GetLastError()};
        }
        className.back() = '\0';
        if (classGuid == ps::Guid{}) {
            uint32_t count = 0;
            if (!setup.SetupDiClassGuidsFromNameA(className.data(), std::span<ps::Guid>(&classGuid, 1), &count)) {
                return Failure{kStepOpenInf, setup.GetLastError()};
            }
            // A class nobody knows gives no identifier and no error of its own.
            if (count == 0) return Failure{kStepOpenInf, ps::setup_error::kInvalidClass};
        }
        ctx.output.logLine(log_lines::kProgressDots);

        const auto hardwareId = FindDeviceToInstall(setup, inf);
        if (!hardwareId) return Failure{kStepSearch, setup.GetLastError()};

        devices = setup.SetupDiCreateDeviceInfoList(&classGuid, 0);
        if (devices == ps::kInvalidSetupHandle) return Failure{kStepCreateList, setup.GetLastError()};

        if (!setup.SetupDiCreateDeviceInfoA(devices, className.data(), classGuid, nullptr, 0, ps::kGenerateDeviceId,
                                            &device)) {
            return Failure{kStepCreateDevice, setup.GetLastError()};
        }
        // The identifier as a list: the string, its terminator, and the list's closing one.
        std::vector<uint8_t> idList(hardwareId->begin(), hardwareId->end());
        idList.push_back(0);
        idList.push_back(0);
        if (!setup.SetupDiSetDeviceRegistryPropertyA(devices, device, ps::kPropertyHardwareId, idList)) {
            return Failure{kStepCreateDevice, setup.GetLastError()};
        }
        if (!setup.SetupDiCallClassInstaller(ps::DiFunction::RegisterDevice, devices, &device)) {
            return Failure{kStepRegister, setup.GetLastError()};
        }
        registered = true;
        if (!setup.UpdateDriverForPlugAndPlayDevicesA(0, *hardwareId, infPath, ps::kInstallFlagForce)) {
            return Failure{kStepUpdate, setup.GetLastError()};
        }
        registered = false;
        return std::nullopt;
    };

    const auto failure = run();
    if (failure) {
        ctx.output.messageBox(
            FormatErrorReport(failure->code, failure->step, setup.FormatSystemMessage(failure->code)));
        ctx.output.logLine(log_lines::kRootInstallFailed);
    } else {
        ctx.output.logLine(log_lines::kProgressDots);
        ctx.output.logLine(log_lines::kRootInstallDone);
    }
    if (registered) setup.SetupDiCallClassInstaller(ps::DiFunction::Remove, devices, &device);
    if (devices != ps::kInvalidSetupHandle) setup.SetupDiDestroyDeviceInfoList(devices);
    if (inf != ps::kInvalidSetupHandle) setup.SetupCloseInfFile(inf);
    return !failure;
}

}  // namespace installer
