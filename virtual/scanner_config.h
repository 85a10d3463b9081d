// The description of one virtual scanner: its USB identity, chip, sensor, motor, paper path,
// feeder contents, host timing and faults, as read from a profile file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "virtual/fault.h"

namespace ordavel::virtual_scanner {

enum class Chip { LM9831, LM9832, LM9833 };

struct SensorConfig {
    int opticalResolution = 200;     // dpi across the sheet
    int sensorPixels = 2000;         // elements of the CIS line; line pixels beyond are dark
    int imageStart = 150;            // first line pixel that sees the paper (before: optical black)
    int imagePixels = 1680;          // how many line pixels see the paper
    double paperCentre = 840;        // imaging pixel on which the paper guide centres sheets
    double whiteSignal = 30000;      // counts (16-bit scale) from reflectance 1 at the reference exposure
    double referenceExposure = 1980; // lamp-on pixel periods that give whiteSignal at full duty
    double darkLevel = 1500;         // mean dark signal, counts
    double prnuPercent = 3.0;        // photo response non-uniformity, standard deviation in per cent
    double dsnuCounts = 120;         // dark signal non-uniformity, standard deviation in counts
    double noiseCounts = 40;         // temporal noise per sample, standard deviation in counts
    double backingReflectance = 0.85;  // what the sensor sees with no paper under the scan line
    double lampStrength[3] = {1, 1, 1};  // relative output of the red, green and blue LEDs
    double offsetStepCounts = 305;   // counts added per front-end offset code step
    uint64_t seed = 1;
};

struct PathConfig {
    double stepsPerInch = 200;
    double paperSensor2 = 0;    // also the feed entrance
    double paperSensor1 = 100;
    double scanLine = 260;
    double exit = 400;
    double readyPosition = 245; // leading edge of a sheet the user pushed into the rollers
    double sheetGap = 400;      // steps between a sheet's tail and the next sheet's leading edge
};

struct UsbConfig {
    double bytesPerSecond = 1000000;  // full-speed bulk throughput
    uint32_t frameMicros = 1000;      // the least a transfer costs
    uint32_t timeoutMs = 5000;        // how long a read of the data port waits at most
};

// How the scanner runs when processes share it through its server: real time scaled by `speed`
// (1 is the hardware's pace), and how long the server stays up after its last client left.
struct SharingConfig {
    double speed = 1.0;
    uint32_t idleMs = 5000;
};

enum class FirstSheetPlacement { Ready, Entrance };

struct SheetConfig {
    std::string page;              // built-in page name, or a PNG file (path resolved)
    double resolution = 200;       // dpi of a PNG file
    double skewDegrees = 0;        // clockwise rotation about the leading edge's centre
    double offsetInches = 0;       // lateral shift towards higher pixel numbers
    std::optional<double> lengthInches;  // cut or extended with blank paper
};

struct FeederConfig {
    FirstSheetPlacement firstSheet = FirstSheetPlacement::Ready;
    std::vector<SheetConfig> sheets;  // in feeding order
};

struct ScannerConfig {
    std::string manufacturer = "Mirt";
    std::string product = "Mirt Sheet Scanner";
    Chip chip = Chip::LM9832;
    SensorConfig sensor;
    PathConfig path;
    UsbConfig usb;
    SharingConfig sharing;
    FeederConfig feeder;
    std::vector<Fault> faults;
    uint64_t faultSeed = 1;
};

// Reads the profile file at `path`; keys that are absent keep the defaults above. False, with
// `error` naming the file, section and key, when a value is malformed or out of range.
bool LoadScannerConfig(const std::string& path, ScannerConfig& config, std::string& error);

}  // namespace ordavel::virtual_scanner
