// Reading a virtual scanner's profile file.
#include "virtual/scanner_config.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/profile.h"
#include "virtual/builtin_pages.h"

namespace ordavel::virtual_scanner {

namespace {

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// One reader per file: remembers the first problem and names it.
class ConfigReader {
public:
    explicit ConfigReader(std::string path) : path_(std::move(path)) {}

    std::optional<std::string> text(const std::string& section, const char* key) {
        return platform::ReadProfileString(path_, section, key);
    }
    void string(const std::string& section, const char* key, std::string& out) {
        if (auto v = text(section, key)) out = *v;
    }
    template <typename T>
    void number(const std::string& section, const char* key, T& out, double low, double high) {
        auto v = text(section, key);
        if (!v) return;
        errno = 0;
        char* end = nullptr;
        const double d = std::strtod(v->c_str(), &end);
        while (end && (*end == ' ' || *end == '\t')) ++end;
        if (errno != 0 || end == v->c_str() || *end != '\0' || d < low || d > high) {
            fail(section, key, "must be a number from " + format(low) + " to " + format(high));
            return;
        }
        out = static_cast<T>(d);
    }
    template <typename T>
    void optionalNumber(const std::string& section, const char* key, std::optional<T>& out, double low, double high) {
        if (!text(section, key)) return;
        T value{};
        number(section, key, value, low, high);
        out = value;
    }
    void fail(const std::string& section, const char* key, const std::string& why) {
        if (error_.empty()) error_ = path_ + ": [" + section + "] " + key + " " + why;
    }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    static std::string format(double d) {
        std::string s = std::to_string(d);
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
        return s;
    }
    std::string path_;
    std::string error_;
};

constexpr double kHuge = 1e12;

void readDevice(ConfigReader& r, ScannerConfig& c) {
    r.string("Device", "Manufacturer", c.manufacturer);
    r.string("Device", "Product", c.product);
    if (auto chip = r.text("Device", "Chip")) {
        if (equalNoCase(*chip, "LM9831")) c.chip = Chip::LM9831;
        else if (equalNoCase(*chip, "LM9832")) c.chip = Chip::LM9832;
        else if (equalNoCase(*chip, "LM9833")) c.chip = Chip::LM9833;
        else r.fail("Device", "Chip", "must be LM9831, LM9832 or LM9833");
    }
}

void readSensor(ConfigReader& r, SensorConfig& s) {
    const std::string sec = "Sensor";
    r.number(sec, "Optical_Resolution", s.opticalResolution, 1, 4800);
    r.number(sec, "Sensor_Pixels", s.sensorPixels, 1, 65535);
    r.number(sec, "Image_Start", s.imageStart, 0, 65535);
    r.number(sec, "Image_Pixels", s.imagePixels, 1, 65535);
    r.number(sec, "Paper_Centre", s.paperCentre, -65535, 65535);
    r.number(sec, "White_Signal", s.whiteSignal, 0, 1e6);
    r.number(sec, "Reference_Exposure", s.referenceExposure, 1, 65535);
    r.number(sec, "Dark_Level", s.darkLevel, 0, 65535);
    r.number(sec, "PRNU_Percent", s.prnuPercent, 0, 50);
    r.number(sec, "DSNU_Counts", s.dsnuCounts, 0, 65535);
    r.number(sec, "Noise_Counts", s.noiseCounts, 0, 65535);
    r.number(sec, "Backing_Reflectance", s.backingReflectance, 0, 1);
    r.number(sec, "Red_Lamp", s.lampStrength[0], 0, 10);
    r.number(sec, "Green_Lamp", s.lampStrength[1], 0, 10);
    r.number(sec, "Blue_Lamp", s.lampStrength[2], 0, 10);
    r.number(sec, "Offset_Step_Counts", s.offsetStepCounts, 0, 65535);
    r.number(sec, "Seed", s.seed, 0, 1.8e19);
    if (r.ok() && s.imageStart + s.imagePixels > s.sensorPixels) {
        r.fail(sec, "Image_Pixels", "runs past Sensor_Pixels");
    }
}

void readPath(ConfigReader& r, PathConfig& p) {
    r.number("Motor", "Steps_Per_Inch", p.stepsPerInch, 1, 10000);
    const std::string sec = "Paper Path";
    r.number(sec, "Paper_Sensor_2", p.paperSensor2, -kHuge, kHuge);
    r.number(sec, "Paper_Sensor_1", p.paperSensor1, -kHuge, kHuge);
    r.number(sec, "Scan_Line", p.scanLine, -kHuge, kHuge);
    r.number(sec, "Exit", p.exit, -kHuge, kHuge);
    r.number(sec, "Ready_Position", p.readyPosition, -kHuge, kHuge);
    r.number(sec, "Sheet_Gap", p.sheetGap, 0, kHuge);
    if (r.ok() && !(p.paperSensor2 < p.exit && p.scanLine < p.exit)) {
        r.fail(sec, "Exit", "must lie beyond the entrance and the scan line");
    }
}

void readUsb(ConfigReader& r, UsbConfig& u) {
    r.number("USB", "Bytes_Per_Second", u.bytesPerSecond, 1000, 1e10);
    r.number("USB", "Frame_Microseconds", u.frameMicros, 0, 1e6);
    r.number("USB", "Read_Timeout_Ms", u.timeoutMs, 1, 1e7);
}

// Speeds above a few hundred make the host's own work (socket round trips, line processing) look
// like seconds of device time, so the feed's polls overshoot; the bound keeps that out of reach.
void readSharing(ConfigReader& r, SharingConfig& s) {
    r.number("Sharing", "Speed", s.speed, 1, 1000);
    r.number("Sharing", "Idle_Ms", s.idleMs, 0, 3.6e6);
}

// A page name is a built-in page or a PNG file, relative to the configuration's folder.
std::string resolvePage(const std::string& page, const std::string& configPath) {
    for (const auto& name : BuiltinPageNames()) {
        if (page == name) return page;
    }
    std::filesystem::path p(page);
    if (p.is_relative()) p = std::filesystem::path(configPath).parent_path() / p;
    return p.string();
}

void readSheet(ConfigReader& r, const std::string& sec, SheetConfig& s) {
    if (auto page = r.text(sec, "Page")) s.page = resolvePage(*page, r.path());
    r.number(sec, "Resolution", s.resolution, 1, 10000);
    r.number(sec, "Skew_Degrees", s.skewDegrees, -45, 45);
    r.number(sec, "Offset_Inches", s.offsetInches, -100, 100);
    r.optionalNumber(sec, "Length_Inches", s.lengthInches, 0.01, 1000);
}

void readFeeder(ConfigReader& r, FeederConfig& f) {
    if (auto first = r.text("Feeder", "First_Sheet")) {
        if (equalNoCase(*first, "Ready")) f.firstSheet = FirstSheetPlacement::Ready;
        else if (equalNoCase(*first, "Entrance")) f.firstSheet = FirstSheetPlacement::Entrance;
        else r.fail("Feeder", "First_Sheet", "must be Ready or Entrance");
    }
    int count = 0;
    r.number("Feeder", "Sheets", count, 0, 10000);
    SheetConfig previous;
    previous.page = "chart";
    f.sheets.clear();
    for (int i = 1; i <= count && r.ok(); ++i) {
        // A sheet without a section of its own repeats the one before it.
        SheetConfig sheet = previous;
        const std::string sec = "Sheet " + std::to_string(i);
        if (r.text(sec, "Page") || r.text(sec, "Resolution") || r.text(sec, "Length_Inches") ||
            r.text(sec, "Skew_Degrees") || r.text(sec, "Offset_Inches")) {
            sheet = SheetConfig{};
            sheet.page = previous.page;
            readSheet(r, sec, sheet);
        }
        f.sheets.push_back(sheet);
        previous = sheet;
    }
}

void readFault(ConfigReader& r, const std::string& sec, Fault& f) {
    auto type = r.text(sec, "Type");
    if (!type || !ParseFaultType(*type, f.type)) {
        r.fail(sec, "Type", "must name a fault");
        return;
    }
    if (auto d = r.text(sec, "Direction")) {
        if (equalNoCase(*d, "Any")) f.direction = TransferDirection::Any;
        else if (equalNoCase(*d, "Out")) f.direction = TransferDirection::Out;
        else if (equalNoCase(*d, "In")) f.direction = TransferDirection::In;
        else r.fail(sec, "Direction", "must be Any, Out or In");
    }
    r.number(sec, "Transfer", f.transfer, 0, 1e15);
    r.number(sec, "Probability", f.probability, 0, 1);
    r.number(sec, "Repeat", f.repeat, 0, 4e9);
    r.optionalNumber(sec, "At_Ms", f.atMs, 0, 1e15);
    r.optionalNumber(sec, "Duration_Ms", f.durationMs, 0, 1e15);
    r.number(sec, "Sheet", f.sheet, 0, 10000);
    r.optionalNumber(sec, "At_Position", f.atPosition, -kHuge, kHuge);
    if (auto in = r.text(sec, "Input")) {
        if (equalNoCase(*in, "Sensor1")) f.input = InputId::PaperSensor1;
        else if (equalNoCase(*in, "Sensor2")) f.input = InputId::PaperSensor2;
        else if (equalNoCase(*in, "Tray")) f.input = InputId::Tray;
        else r.fail(sec, "Input", "must be Sensor1, Sensor2 or Tray");
    }
    if (auto st = r.text(sec, "State")) {
        if (equalNoCase(*st, "On")) f.stuckActive = true;
        else if (equalNoCase(*st, "Off")) f.stuckActive = false;
        else r.fail(sec, "State", "must be On or Off");
    }
    r.number(sec, "Length_Inches", f.lengthInches, 0, 1000);
    r.number(sec, "Overlap_Steps", f.overlapSteps, 0, kHuge);
    r.number(sec, "Kept_Share", f.keptShare, 0, 1);
}

void readFaults(ConfigReader& r, ScannerConfig& c) {
    int count = 0;
    r.number("Faults", "Count", count, 0, 1000);
    r.number("Faults", "Seed", c.faultSeed, 0, 1.8e19);
    c.faults.clear();
    for (int i = 1; i <= count && r.ok(); ++i) {
        Fault f;
        readFault(r, "Fault " + std::to_string(i), f);
        c.faults.push_back(f);
    }
}

}  // namespace

bool LoadScannerConfig(const std::string& path, ScannerConfig& config, std::string& error) {
    if (!std::ifstream(path)) {
        error = path + ": cannot be read";
        return false;
    }
    ScannerConfig c;
    ConfigReader r(path);
    readDevice(r, c);
    readSensor(r, c.sensor);
    readPath(r, c.path);
    readUsb(r, c.usb);
    readSharing(r, c.sharing);
    readFeeder(r, c.feeder);
    readFaults(r, c);
    if (!r.ok()) {
        error = r.error();
        return false;
    }
    config = std::move(c);
    return true;
}

}  // namespace ordavel::virtual_scanner
