// A virtual scanner on a virtual clock with a raw pipe onto it, and the register programming a
// driver would send for common scans, for tests that drive the model through raw frames.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/clock.h"
#include "platform/raw_pipe.h"
#include "tests/support/virtual_frames.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::test {

// data/virtual/reference.ini as loaded (fails the calling test when it does not load).
virtual_scanner::ScannerConfig ReferenceScannerConfig();

struct VirtualRig {
    std::shared_ptr<platform::VirtualClock> clock;
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner;
    std::shared_ptr<platform::DeviceBackend> backend;
    std::unique_ptr<platform::RawPipe> pipe;
    std::unique_ptr<FrameClient> frames;

    FrameClient& io() { return *frames; }
    uint64_t nowUs() const { return clock->microseconds(); }
    virtual_scanner::Sheet sheet(int number);
};

// A scanner of `config` opened through its backend (fails the calling test on error).
VirtualRig MakeRig(const virtual_scanner::ScannerConfig& config);

// What a driver programs for a scan of the reference scanner (one channel, 200 dpi): fields map
// onto registers directly.
struct ScanProgram {
    uint8_t clockDivider = 10;       // 0x08: 8 MHz, 1 us pixel period
    uint8_t pixelFormat = 0x18;      // 0x09: 8 bits, divider 1
    uint16_t lineLength = 2006;      // 0x20/0x21: with the TR sequence a 2016-period line
    uint16_t dataStart = 150;        // 0x22/0x23
    uint16_t dataEnd = 1830;         // 0x24/0x25
    uint8_t channelMode = 0x14;      // 0x26: one channel, grey channel blue
    uint8_t illumination = 1;        // 0x29
    uint16_t duty = 4095;            // 0x2A/0x2B
    uint16_t lampOn[3] = {10, 10, 10};
    uint16_t lampOff[3] = {10, 10, 1990};  // red and green dark, blue lit
    uint8_t offset[3] = {0, 0, 0};   // 0x38..0x3A
    uint8_t gain[3] = {0, 0, 14};    // 0x3B..0x3D
    uint8_t memoryConfig = 0x20;     // 0x42
    uint8_t motorConfig = 0x10;      // 0x45: motor outputs on, forward
    uint16_t scanStep = 503;         // 0x46/0x47
    uint16_t fastStep = 0x0110;      // 0x48/0x49
    uint16_t skipSteps = 0;          // 0x4A/0x4B
    uint16_t stopSteps = 0;          // 0x4C/0x4D
    uint8_t pauseLimit = 137;        // 0x4E
    uint8_t resumeLimit = 136;       // 0x4F
    uint8_t sensorConfig = 0x09;     // 0x58: both paper sensors polarity high, level, no stop
    uint8_t pinConfig = 0x02;        // 0x59: pin 1 input, polarity high, level
};

// Writes the program with 0x07 = 0x20 around it, ending with 0x07 = 0 (as a driver programs).
bool Program(FrameClient& io, const ScanProgram& program);
// Identity-like gamma (entry i = i / 16) for all three colours.
bool LoadLinearGamma(FrameClient& io);
bool LoadGamma(FrameClient& io, int colour, std::span<const uint8_t> table);
// Shading words for one colour, written big-endian through the table port.
bool LoadShading(FrameClient& io, int colour, std::span<const uint16_t> offsets, std::span<const uint16_t> gains);
// Reads the data port in pieces until `bytes` arrived or the port returns nothing.
std::vector<uint8_t> ReadImage(FrameClient& io, std::size_t bytes);
// Splits raw data into lines of `lineBytes` (status word included), dropping a partial tail.
std::vector<std::vector<uint8_t>> SplitLines(const std::vector<uint8_t>& data, std::size_t lineBytes);

}  // namespace ordavel::test
