// One line as the chip acquires it: the light each data pixel receives from the paper (or the
// backing) under the scan line during the lamps' on time, converted by the sensor and the front
// end, then passed through the digital pipeline into packed bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "virtual/cis_sensor.h"
#include "virtual/controller_memory.h"
#include "virtual/paper_path.h"
#include "virtual/scan_settings.h"

namespace ordavel::virtual_scanner {

// What a line saw at the centre of the sensor line: the sheet (0 for the backing) and how far
// below its leading edge the scan line lay.
struct LineTruth {
    int sheet = 0;
    double yInches = 0;
};

class LineRenderer {
public:
    LineRenderer(const ScannerConfig& config, CisSensor& sensor, const ControllerMemory& memory);

    // Latches a scan's settings; call before render().
    void prepare(const ScanSettings& settings);
    // The exposure of lamp `colour` per line relative to the reference exposure at full duty,
    // times the LED's strength. A lamp switched on at or after the end of the line, or with its
    // switch-off not after its switch-on, gives no light.
    double lampWeight(int colour) const;

    // Writes settings.dataBytes bytes for line `lineIndex` of the scan (in line-rate colour the
    // index picks red, green or blue in turn).
    LineTruth render(const PaperPath& path, uint64_t lineIndex, uint8_t* out);

private:
    LineTruth sampleReflectance(const PaperPath& path, const std::array<bool, 3>& channels);
    void imagingRange(uint32_t& first, uint32_t& last) const;
    double lateral(uint32_t linePixel) const;
    void coverRow(const Sheet& sheet, double depth, const std::array<bool, 3>& channels);
    void coverPoints(const Sheet& sheet, double depth, const std::array<bool, 3>& channels);
    void convertStream(int colour, int tables, std::vector<float>& light, uint16_t* wide, uint8_t* narrow);

    const ScannerConfig& config_;
    CisSensor& sensor_;
    const ControllerMemory& memory_;
    ScanSettings settings_;
    uint32_t dataPixels_ = 0;
    std::array<double, 3> weight_{};
    std::array<CisSensor::Conversion, 3> conversion_;
    std::array<std::vector<float>, 3> reflectance_;
    std::vector<float> light_, scratch_;
    std::vector<uint8_t> taken_;  // imaging pixels already covered by a sheet on top
    std::vector<uint16_t> codes_, divided_;
    std::array<std::vector<uint16_t>, 3> wide_;
    std::array<std::vector<uint8_t>, 3> narrow_;
    std::vector<uint16_t> interleavedWide_;
    std::vector<uint8_t> interleavedNarrow_;
};

}  // namespace ordavel::virtual_scanner
