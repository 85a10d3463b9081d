// The POSIX INF store and its access rule.
#include "platform/setup_inf_store.h"

#include <algorithm>
#include <cerrno>
#include <set>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/inf_file.h"
#include "platform/setup_errors.h"
#include "platform/setup_files.h"
#include "platform/usb_hwdb.h"

extern char** environ;

namespace ordavel::platform {

namespace {

constexpr std::size_t kInfLimit = 16u << 20;

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "USB\VID_xxxx&PID_xxxx" at the start of a hardware identifier: the vendor and product, lower case.
std::optional<std::pair<std::string, std::string>> UsbVendorProduct(const std::string& id) {
    if (id.size() < 21 || !EqualsIgnoringCase(id.substr(0, 8), "USB\\VID_") || !EqualsIgnoringCase(id.substr(12, 5), "&PID_")) {
        return std::nullopt;
    }
    auto hex4 = [](std::string s) -> std::optional<std::string> {
        for (char& c : s) {
            if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
        }
        return s;
    };
    auto vendor = hex4(id.substr(8, 4));
    auto product = hex4(id.substr(17, 4));
    if (!vendor || !product) return std::nullopt;
    if (id.size() > 21 && id[21] != '&') return std::nullopt;
    return std::make_pair(*vendor, *product);
}

template <typename Visit>
void ForEachModelLine(const InfFile& inf, Visit visit) {
    const auto* manufacturer = inf.section("Manufacturer");
    if (manufacturer == nullptr) return;
    for (const auto& m : manufacturer->lines) {
        const auto modelsName = InfFile::Field(m, 1);
        if (!modelsName) continue;
        const auto* models = inf.section(*modelsName);
        if (models == nullptr) continue;
        for (const auto& line : models->lines) visit(line);
    }
}

bool RunProgram(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Makes the file `name` in `directory` hold `text`, or removes it when `text` is empty;
// `changed` tells whether it had to.
bool SyncFile(const std::string& directory, const char* name, const std::string& text, bool& changed,
              uint32_t& error) {
    changed = false;
    const std::string path = setup_files::JoinPath(directory, name);
    uint32_t readError = 0;
    const auto current = setup_files::ReadFile(path, kInfLimit, readError);
    if (text.empty()) {
        if (!current) return true;
        if (::unlink(path.c_str()) != 0) {
            error = setup_files::ErrorFromErrno(errno);
            return false;
        }
        changed = true;
        return true;
    }
    if (current && *current == text) return true;
    if (!setup_files::MakeDirectories(directory, error)) return false;
    if (!setup_files::WriteFileAtomically(path, text, false, error)) return false;
    changed = true;
    return true;
}

}  // namespace

std::vector<std::string> ModelDescriptionsFor(const InfFile& inf, const std::string& hardwareId) {
    std::vector<std::string> descriptions;
    ForEachModelLine(inf, [&](const InfFile::Line& line) {
        for (std::size_t i = 1; i < line.fields.size(); ++i) {
            if (!hardwareId.empty() && EqualsIgnoringCase(line.fields[i], hardwareId)) {
                descriptions.push_back(InfFile::Field(line, 0).value_or(""));
                return;
            }
        }
    });
    return descriptions;
}

std::vector<std::string> ModelHardwareIds(const InfFile& inf) {
    std::vector<std::string> ids;
    ForEachModelLine(inf, [&](const InfFile::Line& line) {
        for (std::size_t i = 1; i < line.fields.size(); ++i) ids.push_back(line.fields[i]);
    });
    return ids;
}

std::string InfStore::PnfPathOf(const std::string& infPath) {
    if (infPath.size() < 3) return infPath;
    return infPath.substr(0, infPath.size() - 3) + "PNF";
}

std::string InfStore::nextFreeName() const {
    const auto names = setup_files::ListFiles(directory_, "oem*.inf");
    for (unsigned n = 0;; ++n) {
        const std::string candidate = "oem" + std::to_string(n) + ".inf";
        const bool taken = std::any_of(names.begin(), names.end(),
                                       [&](const std::string& name) { return EqualsIgnoringCase(name, candidate); });
        if (!taken) return setup_files::JoinPath(directory_, candidate);
    }
}

std::optional<InfStore::Staged> InfStore::stage(const std::string& sourcePath, const std::string& content,
                                                const std::string& mediaLocation, uint32_t& error) {
    for (const auto& name : setup_files::ListFiles(directory_, "*.inf")) {
        const std::string path = setup_files::JoinPath(directory_, name);
        uint32_t ignored = 0;
        const auto stored = setup_files::ReadFile(path, kInfLimit, ignored);
        if (stored && *stored == content) return Staged{path, true};
    }
    if (!setup_files::MakeDirectories(directory_, error)) return std::nullopt;
    // Two installers may race for the same number: the exclusive write makes one of them move on.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::string path = nextFreeName();
        if (!setup_files::WriteFileAtomically(path, content, true, error)) {
            if (error == setup_error::kFileExists) continue;
            return std::nullopt;
        }
        const std::string pnf = "[Source]\nOriginalInf=" + BaseName(sourcePath) + "\nMediaType=1\nLocation=" +
                                mediaLocation + "\n";
        if (!setup_files::WriteFileAtomically(PnfPathOf(path), pnf, false, error)) {
            ::unlink(path.c_str());
            return std::nullopt;
        }
        return Staged{path, false};
    }
    error = setup_error::kFileExists;
    return std::nullopt;
}

void InfStore::unstage(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink(PnfPathOf(path).c_str());
}

bool InfStore::syncAccessRules(uint32_t& error) {
    std::set<std::pair<std::string, std::string>> devices;
    std::vector<UsbDeviceId> scanners;
    for (const auto& name : setup_files::ListFiles(directory_, "*.inf")) {
        uint32_t ignored = 0;
        const auto text = setup_files::ReadFile(setup_files::JoinPath(directory_, name), kInfLimit, ignored);
        if (!text) continue;
        const auto inf = InfFile::Parse(*text);
        if (!inf || !inf->isWin4Style()) continue;
        const bool scannerDriver = EqualsIgnoringCase(inf->value("Version", "Class").value_or(""), "Image");
        for (const auto& id : ModelHardwareIds(*inf)) {
            const auto vp = UsbVendorProduct(id);
            if (!vp) continue;
            devices.insert(*vp);
            const UsbDeviceId usbId{static_cast<uint16_t>(std::stoul(vp->first, nullptr, 16)),
                                    static_cast<uint16_t>(std::stoul(vp->second, nullptr, 16))};
            if (scannerDriver && std::find(scanners.begin(), scanners.end(), usbId) == scanners.end()) {
                scanners.push_back(usbId);
            }
        }
    }
    std::string rule;
    if (!devices.empty()) {
        rule = "# Written by the Mirt driver installer from the drivers in its INF store; do not edit.\n"
               "# Gives the logged-in user access to each device a stored driver serves.\n";
        for (const auto& [vendor, product] : devices) {
            rule += "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"" + vendor +
                    "\", ATTR{idProduct}==\"" + product + "\", TAG+=\"uaccess\"\n";
        }
    }
    bool ruleChanged = false;
    if (!SyncFile(rules_.rulesDirectory, kRuleFileName, rule, ruleChanged, error)) return false;
    bool hwdbChanged = false;
    if (!rules_.hwdbDirectory.empty()) {
        std::string hwdb;
        if (!scanners.empty()) {
            hwdb = "# Written by the Mirt driver installer from the scanner drivers in its INF store; do not edit.\n"
                   "# Marks their devices as scanners: SANE's rules give them to the seat's user and the\n"
                   "# \"scanner\" group.\n\n" +
                   ScannerHwdbEntries(scanners);
        }
        if (!SyncFile(rules_.hwdbDirectory, kHwdbFileName, hwdb, hwdbChanged, error)) return false;
    }
    // The database is compiled before udev reloads, so the reloaded rules see the new entries. A
    // failed compile or reload (or a system without the programs) leaves the files in place for
    // the next boot or plug-in; it is not an error.
    if (hwdbChanged && rules_.hwdbUpdate && !rules_.hwdbUpdate->empty()) RunProgram(*rules_.hwdbUpdate, {"update"});
    if ((ruleChanged || hwdbChanged) && rules_.udevadm && !rules_.udevadm->empty()) {
        if (RunProgram(*rules_.udevadm, {"control", "--reload"})) {
            RunProgram(*rules_.udevadm, {"trigger", "--action=change", "--subsystem-match=usb"});
        }
    }
    return true;
}

}  // namespace ordavel::platform
