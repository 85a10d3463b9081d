// Operations 11, 22, 55 and 88: remove a driver's devices, its INF and driver files, and every
// stored INF of the same family. Removal carries on past every failure: a device that cannot be
// removed, a file that is missing, an INF store that cannot be listed.
#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "installer/log_lines.h"
#include "installer/operations.h"

namespace installer {

namespace {

namespace ps = ordavel::platform;

// The profile reader's buffer for INF values.
constexpr std::size_t kValueBuffer = 200;

// The two further brand keys a bulk USB INF may carry in [Strings] instead of "QUVE".
constexpr const char* kBulkBrandKeys[] = {"QUVE", "QV", "ZV"};

struct Kind {
    const char* classGuid;
    const char* descriptionText;
    const char* infName;
    const char* driverFile;  // in the system directory's "Drivers"; null for the scanner
    std::function<bool(ps::DeviceSetup&, const std::string& infPath)> matchesStoredInf;
};

std::string ProfileValue(ps::DeviceSetup& setup, const std::string& path, const char* section, const char* key) {
    std::array<char, kValueBuffer> buffer{};
    setup.GetPrivateProfileStringA(section, key, "", buffer, path);
    buffer.back() = '\0';
    return buffer.data();
}

bool ClassIs(ps::DeviceSetup& setup, const std::string& path, const char* className) {
    return ProfileValue(setup, path, "Version", "Class") == className;
}

bool StringContains(ps::DeviceSetup& setup, const std::string& path, const char* key, const char* text) {
    return ProfileValue(setup, path, "Strings", key).find(text) != std::string::npos;
}

bool SerialPortFamily(ps::DeviceSetup& setup, const std::string& path) {
    return ClassIs(setup, path, "Ports") && StringContains(setup, path, "Mfg", "QUVE");
}

Kind KindOf(RemovalKind kind) {
    switch (kind) {
        case RemovalKind::SerialPort:
            return {"{4D36E978-E325-11CE-BFC1-08002BE10318}", "USBVCOM", "USBVCOM.INF", "USBVCOM.SYS", SerialPortFamily};
        case RemovalKind::BulkUsb:
            return {"{36FC9E60-C465-11CF-8056-444553540000}", "USB Device Driver for", "BULKUSB.INF", "BULKUSB.SYS",
                    [](ps::DeviceSetup& setup, const std::string& path) {
                        if (!ClassIs(setup, path, "USB")) return false;
                        for (const char* key : kBulkBrandKeys) {
                            if (!ProfileValue(setup, path, "Strings", key).empty()) return true;
                        }
                        return false;
                    }};
        case RemovalKind::Scanner:
            return {"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}", "Mirt 票据/文档扫描仪", "Mirt_XP.INF", nullptr,
                    [](ps::DeviceSetup& setup, const std::string& path) {
                        return ClassIs(setup, path, "Image") && StringContains(setup, path, "Provider", "Quorvanel");
                    }};
        case RemovalKind::RootSerialPort: break;
    }
    return {"{4D36E978-E325-11CE-BFC1-08002BE10318}", "QUVE VCOM", "ZEVVCOM.INF", "ZEVVCOM.SYS", SerialPortFamily};
}

std::string PnfPathOf(const std::string& infPath) {
    return infPath.size() < 3 ? infPath : infPath.substr(0, infPath.size() - 3) + "PNF";
}

void DeleteInfAndPnf(ps::DeviceSetup& setup, const std::string& path) {
    setup.DeleteFileA(path);
    setup.DeleteFileA(PnfPathOf(path));
}

void RemoveDevices(ps::DeviceSetup& setup, const Kind& kind) {
    const auto classGuid = ps::ParseGuid(kind.classGuid);
    const ps::DeviceInfoSet devices = setup.SetupDiGetClassDevsA(&*classGuid, nullptr, 0, ps::kClassDevsPresent);
    if (devices == ps::kInvalidSetupHandle) return;
    ps::DeviceInfoData device{};
    for (uint32_t i = 0; setup.SetupDiEnumDeviceInfo(devices, i, device); ++i) {
        std::array<uint8_t, 1024> description{};
        if (!setup.SetupDiGetDeviceRegistryPropertyA(devices, device, ps::kPropertyDeviceDesc, nullptr, description,
                                                     nullptr)) {
            continue;
        }
        const auto* text = reinterpret_cast<const char*>(description.data());
        const std::string value(text, strnlen(text, description.size()));
        if (value.find(kind.descriptionText) != std::string::npos) {
            setup.SetupDiCallClassInstaller(ps::DiFunction::Remove, devices, &device);
        }
    }
    setup.SetupDiDestroyDeviceInfoList(devices);
}

// The scanner's imaging driver files live in the Windows directory's "twain_32" folder named by
// the installer's own INF. Only a plain folder name is followed: an empty name would empty
// "twain_32" itself and a name with separators or ".." would reach outside it, deleting files
// of other drivers.
void DeleteScannerDriverFiles(InstallerContext& ctx) {
    const std::string folder =
        ProfileValue(ctx.setup, JoinPath(ctx.installerDirectory, "Mirt_XP.INF"), "Strings", "QuorvanelDS");
    if (folder.empty() || folder == "." || folder == ".." || folder.find('/') != std::string::npos ||
        folder.find('\\') != std::string::npos) {
        return;
    }
    const std::string directory = JoinPath(JoinPath(ctx.setup.GetWindowsDirectoryA(), "twain_32"), folder);
    for (const auto& name : ctx.setup.FindFilesA(directory, "*")) ctx.setup.DeleteFileA(JoinPath(directory, name));
}

}  // namespace

bool RemoveDrivers(RemovalKind which, InstallerContext& ctx) {
    const Kind kind = KindOf(which);
    ps::DeviceSetup& setup = ctx.setup;
    ctx.output.logLine(log_lines::kRemovalStart);

    RemoveDevices(setup, kind);
    const std::string infDirectory = JoinPath(setup.GetWindowsDirectoryA(), "inf");
    DeleteInfAndPnf(setup, JoinPath(infDirectory, kind.infName));
    if (kind.driverFile != nullptr) {
        setup.DeleteFileA(JoinPath(JoinPath(setup.GetSystemDirectoryA(), "Drivers"), kind.driverFile));
    } else {
        DeleteScannerDriverFiles(ctx);
    }
    for (const auto& name : setup.FindFilesA(infDirectory, "*.inf")) {
        const std::string path = JoinPath(infDirectory, name);
        if (kind.matchesStoredInf(setup, path)) DeleteInfAndPnf(setup, path);
    }

    ctx.output.logLine(log_lines::kRemovalDone);
    return true;
}

}  // namespace installer
