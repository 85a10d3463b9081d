// Loading the scanner description: "Mirt.def" names the description file; the file is scanned
// for its override section, then every applicable key row is read, checked and stored, and the
// hardware summary with its resolution list is built.
#include "driver/description/description_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "driver/description/key_rows.h"
#include "driver/description/key_table.h"
#include "driver/description/override_section.h"
#include "driver/description/resolution_list.h"
#include "driver/device/status_report.h"
#include "driver/interface/driver_context.h"
#include "platform/profile.h"

namespace ordavel::description {

namespace {

constexpr const char* kSettingsFile = "Mirt.def";

enum class FileRead { Read, CannotOpen, CannotClose };

// Opens the file as text, reads all of it and closes it again.
FileRead ReadDescriptionFile(const std::string& path, std::string& content) {
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "r");
    if (file == nullptr) return FileRead::CannotOpen;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, n);
    const bool readFailed = std::ferror(file) != 0;
    if (std::fclose(file) != 0) return FileRead::CannotClose;
    // A file that opens but cannot be read (a directory, say) is as good as absent.
    return readFailed ? FileRead::CannotOpen : FileRead::Read;
}

bool ApplyKeyTable(DriverContext& ctx, const platform::ProfileFile& profile,
                   const std::optional<std::string>& overrideSection) {
    for (const KeyRow& row : kKeyTable) {
        if (!RowAppliesToChip(row, ctx.description.Chip)) continue;
        if (!ApplyKeyRow(ctx, row, profile, overrideSection)) return false;
    }
    return true;
}

void FillHardwareSummary(DriverContext& ctx) {
    const ScannerDescription& d = ctx.description;
    ScanHardware& hw = ctx.hardware;
    hw.pixelWidth = d.Image_Pixel_Width;
    hw.pixelLength = static_cast<int32_t>(d.Optical_Resolution * d.Scanner_Length);
    hw.opticalResolution = d.Optical_Resolution;
    hw.chip = d.Chip;
    // The field holds at most 255 characters (the profile's value limit), so it always fits.
    std::memset(hw.deviceName, 0, sizeof hw.deviceName);
    const char* end = std::find(d.USB_Device, d.USB_Device + sizeof hw.deviceName - 1, '\0');
    const auto n = static_cast<std::size_t>(end - d.USB_Device);
    std::memcpy(hw.deviceName, d.USB_Device, n);
    const auto list = ResolutionList(d.Optical_Resolution, d.EvenOdd_Line_Separation, d.Max_Sensor_Resolution);
    std::memcpy(hw.resolutions, list.data(), sizeof hw.resolutions);
}

}  // namespace

bool LoadScannerDescription(DriverContext& ctx) {
    for (auto& stamp : ctx.engine.info.stamps) stamp = 0;
    ctx.settings.colourScan = ctx.engine.request.pixelType == 2;

    const auto scannerFile =
        platform::ReadProfileString(ctx.TempFilePath(kSettingsFile), "SETUP", "ScannerFile");
    if (!scannerFile) {
        device::Report(ctx, "ScannerFile= not found in Mirt.def");
        return false;
    }
    ctx.hardware = ScanHardware{};
    if (!ParseScannerFile(ctx, ctx.TempFilePath(*scannerFile), ctx.engine.request)) return false;
    FillHardwareSummary(ctx);
    return true;
}

bool ParseScannerFile(DriverContext& ctx, const std::string& path, const ScanRequest& params) {
    std::string content;
    switch (ReadDescriptionFile(path, content)) {
        case FileRead::CannotOpen:
            device::Report(ctx, "%s not found", path.c_str());
            return false;
        case FileRead::CannotClose:
            device::Report(ctx, "%s cannot be closed", path.c_str());
            return false;
        case FileRead::Read:
            break;
    }
    const OverrideScan scan = FindOverrideSection(content, params.xResolution);
    if (scan.outcome == OverrideScan::Outcome::SyntaxError) {
        device::Report(ctx, "section syntax must be [hdpi low:high]");
        return false;
    }
    std::optional<std::string> overrideSection;
    if (scan.outcome == OverrideScan::Outcome::Found) overrideSection = scan.section;

    // Every field, working fields included, starts from zero: rows that do not apply to the
    // chip leave their field at zero, and a failed row leaves the later ones zero.
    ctx.description = ScannerDescription{};
    const platform::ProfileFile profile = platform::ProfileFile::FromText(content);
    if (!ApplyKeyTable(ctx, profile, overrideSection)) return false;

    ctx.description.workingGreenDuty = ctx.description.Green_PWM_Duty_Cycle_High;
    ctx.description.startPixel = ctx.description.Optical_Black_Pixels_Start;
    return true;
}

}  // namespace ordavel::description
