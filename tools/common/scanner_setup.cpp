// Preparing the driver's files and choosing the scanner.
#include "tools/common/scanner_setup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/device_list.h"
#include "platform/background_process.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/temp_dir.h"
#include "platform/usb_device_backend.h"
#include "platform/usb_device_nodes.h"

#include "mirt_usb_ids.h"

namespace mirt {

namespace fs = std::filesystem;

namespace {

// Copies `from` to `to` unless `to` exists; says so when it copied.
bool PutReferenceFile(const fs::path& from, const fs::path& to, const Say& say, std::string& error) {
    std::error_code ec;
    if (fs::exists(to, ec)) return true;
    if (!fs::copy_file(from, to, ec)) {
        error = "cannot put " + from.filename().string() + " into " + to.parent_path().string() + ": " + ec.message();
        return false;
    }
    say("put the reference " + from.filename().string() + " into " + to.parent_path().string());
    return true;
}

// A linear gamma table file in the driver's format, so that scans never fall back to creating a
// default table in whatever folder mirt was started from.
bool WriteLinearGammaFile(const fs::path& path) {
    static const char* const kTitles[] = {";Gamma Data (red)", ";Gamma Data (green)", ";Gamma Data (blue)"};
    std::string text;
    char line[32];
    for (const char* title : kTitles) {
        text += title;
        text += '\n';
        for (int i = 0; i < 4096; ++i) {
            std::snprintf(line, sizeof line, "%X\t%X\n", i, i / 16);
            text += line;
        }
    }
    // Atomically and without following a link another user may have put in the directory.
    return ordavel::platform::WriteFileAtomically(path.string(), text);
}

constexpr const char* kLinearGammaFiles[] = {"gamma_8.gam", "gamma_1.gam"};

// What killed runs (of mirt or of the driver) left half-written in the driver's directory.
void RemoveStrayTemporaries(const std::string& tempDir) {
    const std::string_view bases[] = {ordavel::calibration::kSettingsFile, ordavel::calibration::kCommitFile,
                                      kLinearGammaFiles[0], kLinearGammaFiles[1]};
    ordavel::platform::RemoveStaleTemporaries(tempDir, bases);
}

// A description value without its "//" comment and trailing blanks.
std::string DescriptionValue(const std::string& file, const char* section, const char* key) {
    std::string value = ordavel::platform::ReadProfileString(file, section, key).value_or("");
    if (const auto comment = value.find("//"); comment != std::string::npos) value.erase(comment);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    return value;
}

bool SameText(const std::u16string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] > 0x7F || std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<ordavel::platform::DeviceInfo> AttachedScanners(const std::string& tempDir,
                                                            std::span<const ordavel::platform::UsbDeviceId> usbIds) {
    std::vector<ordavel::platform::DeviceInfo> found;
    const std::string def = (fs::path(tempDir) / "Mirt.def").string();
    const std::string file = ordavel::platform::ReadProfileString(def, "SETUP", "ScannerFile").value_or("");
    if (file.empty()) return found;
    const std::string description = (fs::path(tempDir) / file).string();
    const std::string vendor = DescriptionValue(description, "File Settings", "USB_Manufacturer");
    const std::string product = DescriptionValue(description, "File Settings", "USB_Device");
    auto usb = ordavel::platform::MakeUsbDeviceBackend();
    if (!usb) return found;
    for (const auto& device : usb->devices()) {
        if (!SameText(device.vendorDescription, vendor) || !SameText(device.deviceDescription, product)) continue;
        if (!usbIds.empty() && !ordavel::platform::HasUsbId(device, usbIds)) continue;
        const bool listed = std::any_of(found.begin(), found.end(),
                                        [&](const auto& d) { return d.internalName == device.internalName; });
        if (!listed) found.push_back(device);
    }
    return found;
}

bool ScannerAttached(const std::string& tempDir) { return !AttachedScanners(tempDir).empty(); }

namespace {

// The virtual scanner configurations mirt writes: a copy of a base configuration whose feeder is
// replaced by the sheets mirt wants in it (page names of the virtual scanner's built-in pages).
std::string WriteVirtualConfig(const std::string& tempDir, const fs::path& base, const char* name,
                               const std::vector<std::string>& pages) {
    using ordavel::platform::WriteProfileString;
    const fs::path target = fs::path(tempDir) / name;
    // Replaced whole, never written through whatever stands at the name.
    std::ifstream in(base, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    const std::string path = target.string();
    ordavel::platform::WriteFileAtomically(path, content);
    WriteProfileString(path, "Faults", "Count", "0");
    WriteProfileString(path, "Feeder", "First_Sheet", "Ready");
    WriteProfileString(path, "Feeder", "Sheets", std::to_string(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string section = "Sheet " + std::to_string(i + 1);
        WriteProfileString(path, section, "Page", pages[i]);
        for (const char* key : {"Skew_Degrees", "Offset_Inches", "Length_Inches", "Resolution"}) {
            WriteProfileString(path, section, key, "");
        }
    }
    return path;
}

std::string WriteVirtualDemoConfig(const std::string& tempDir, const std::string& dataDir) {
    return WriteVirtualConfig(tempDir, fs::path(dataDir) / "virtual" / "reference.ini", "mirt-demo-scanner.ini",
                              {"chart", "ticket", "document"});
}

bool VirtualFirstSheetAtEntrance(const std::string& config) {
    const std::string first = ordavel::platform::ReadProfileString(config, "Feeder", "First_Sheet").value_or("");
    return first.size() == 8 && std::equal(first.begin(), first.end(), "entrance", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

}  // namespace

std::string WriteVirtualCalibrationConfig(const std::string& tempDir, const std::string& dataDir) {
    // The scanner being calibrated stays the same scanner: its configuration with the white
    // calibration sheet alone in the rollers.
    std::string base = ordavel::platform::GetEnvironment("MIRT_VIRTUAL_SCANNER");
    if (base.empty() || base.find("mirt-demo-scanner.ini") != std::string::npos) {
        base = (fs::path(dataDir) / "virtual" / "reference.ini").string();
    }
    return WriteVirtualConfig(tempDir, base, "mirt-calibration-scanner.ini", {"white"});
}

std::string DataDirectory() {
    const std::string fromEnvironment = ordavel::platform::GetEnvironment("MIRT_DATA");
    if (!fromEnvironment.empty()) return fromEnvironment;
    // "share/mirt" beside the folder of this code, in the build tree as where it is installed:
    // programs in bin/, libraries in lib/ and the SANE backend in lib/sane/ (lib/<multiarch>/sane
    // where it is installed).
    static const char anchor = 0;
    const fs::path here = ordavel::platform::ModuleFolderOf(&anchor);
    std::error_code ec;
    for (const char* up : {"..", "../..", "../../.."}) {
        const fs::path candidate = here / up / "share" / "mirt";
        if (fs::exists(candidate / "Mirt.def", ec)) return fs::weakly_canonical(candidate, ec).string();
    }
    return (here / ".." / "share" / "mirt").string();
}

std::string DriverTempDirectory() { return ordavel::platform::SystemTemporaryDirectory(); }

std::string DriverTempDirectory(std::string& error) { return ordavel::platform::SystemTemporaryDirectory(error); }

bool PrepareDriverFiles(const std::string& tempDir, const std::string& dataDir, const Say& say, std::string& error) {
    const fs::path temp(tempDir);
    const fs::path data(dataDir);
    std::error_code ec;
    fs::create_directories(temp, ec);
    if (!PutReferenceFile(data / "Mirt.def", temp / "Mirt.def", say, error)) return false;
    const std::string scannerFile =
        ordavel::platform::ReadProfileString((temp / "Mirt.def").string(), "SETUP", "ScannerFile").value_or("");
    if (!scannerFile.empty() && fs::exists(data / scannerFile, ec)) {
        if (!PutReferenceFile(data / scannerFile, temp / scannerFile, say, error)) return false;
    }
    RemoveStrayTemporaries(tempDir);
    for (const char* gamma : kLinearGammaFiles) {
        if (!fs::exists(temp / gamma, ec) && !WriteLinearGammaFile(temp / gamma)) {
            error = std::string("cannot write ") + (temp / gamma).string();
            return false;
        }
    }
    return true;
}


}  // namespace mirt

namespace mirt {

std::string ScannerAccessProblem() {
    for (const auto& node : ordavel::platform::PresentUsbDeviceNodes(MIRT_USB_VENDOR_ID, MIRT_SCANNER_PRODUCT_ID)) {
        if (node.openable) continue;
        return "a scanner is attached (" + node.nodePath +
               ") but this user may not open it: see the README's section \"Scanner access on Linux\" "
               "(add yourself to the scanner group and log in again, or have the administrator run `install 5`)";
    }
    return {};
}

// Which marker says "a real scanner was set up here" is a trade-off. The administrator's udev
// set-up for the scanner's identifiers (the installer's operation 5, or a rule or hardware
// database entry of their own) is the machine's own record, seen by every user, and needs no
// root from us: it is what we read first. A machine can also give a user the scanner without
// it (the desktop's seat access, the scanner group with the distribution's own rules), so the
// first use of an attached scanner is also recorded in the user's state directory: that one
// covers only its user, which is no worse than the demo that user would otherwise get. A
// marker of our own outside the user's directory would need root to write.
bool MachineHadScanner(const std::string& tempDir) {
    if (ordavel::platform::UsbAccessConfigured(MIRT_USB_VENDOR_ID, MIRT_SCANNER_PRODUCT_ID)) return true;
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(fs::path(tempDir) / kRealScannerMarker, ec));
}

void RecordRealScanner(const std::string& tempDir) {
    const std::string marker = (fs::path(tempDir) / kRealScannerMarker).string();
    std::error_code ec;
    if (fs::exists(fs::symlink_status(marker, ec))) return;
    ordavel::platform::WriteFileAtomically(
        marker, "A real scanner was used from this account: mirt does not stand in the demonstration scanner\n"
                "for a missing one (remove this file to have it do so again).\n");
}

ScannerChoice ChooseScanner(const std::string& tempDir, const std::string& dataDir, const Say& say, bool demoRequested) {
    ScannerChoice choice;
    const std::string configured = ordavel::platform::GetEnvironment("MIRT_VIRTUAL_SCANNER");
    const std::string demoConfig = (fs::path(tempDir) / "mirt-demo-scanner.ini").string();
    if (!configured.empty() && configured == demoConfig) {
        // Chosen earlier in this run (or by the run that started this one).
        ordavel::platform::SetEnvironment("MIRT_VIRTUAL_PRIVATE", "1");
        choice.demo = true;
        choice.virtualConfig = configured;
        return choice;
    }
    if (!configured.empty()) {
        choice.virtualConfig = configured;
        choice.firstSheetAtEntrance = VirtualFirstSheetAtEntrance(configured);
        say("using the virtual scanner of " + configured);
        return choice;
    }
    if (!demoRequested) {
        if (ScannerAttached(tempDir)) {
            choice.kind = ScannerKind::Attached;
            RecordRealScanner(tempDir);
            return choice;
        }
        if (std::string problem = ScannerAccessProblem(); !problem.empty()) {
            choice.kind = ScannerKind::None;
            choice.accessDenied = true;
            choice.problem = std::move(problem);
            return choice;
        }
        if (MachineHadScanner(tempDir)) {
            choice.kind = ScannerKind::None;
            choice.problem = "no scanner is attached: connect the scanner and switch it on (this machine has had a "
                             "scanner set up, so the demonstration scanner does not stand in for it; `-d demo` "
                             "chooses it)";
            return choice;
        }
    }
    choice.demo = true;
    choice.virtualConfig = WriteVirtualDemoConfig(tempDir, dataDir);
    choice.firstSheetAtEntrance = false;
    ordavel::platform::SetEnvironment("MIRT_VIRTUAL_SCANNER", choice.virtualConfig);
    // The demonstration feeder is new for every run: a scanner of this process alone, on
    // virtual time, not a device shared with other programs.
    ordavel::platform::SetEnvironment("MIRT_VIRTUAL_PRIVATE", "1");
    say(demoRequested ? "using the demonstration scanner (the reference virtual scanner with three sample pages: "
                        "test chart, ticket, document)"
                      : "no scanner attached: using the demonstration scanner (the reference virtual scanner with "
                        "three sample pages: test chart, ticket, document)");
    return choice;
}

}  // namespace mirt
