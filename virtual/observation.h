// What the model records for tests and for anyone watching: register writes, table writes, motor
// runs, scans with the ground truth of every line, pauses, protocol errors and counters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "virtual/line_renderer.h"
#include "virtual/sequencer.h"

namespace ordavel::virtual_scanner {

struct RegisterWrite {
    uint64_t timeUs = 0;
    uint8_t address = 0;
    uint8_t value = 0;
};

// A run of bytes written through the table data port 0x06 within one transfer piece.
struct MemoryWrite {
    uint64_t timeUs = 0;
    uint8_t select = 0;          // register 0x03 at the time
    uint16_t startAddress = 0;   // word address at the first byte
    std::size_t bytes = 0;
    std::size_t dropped = 0;     // bytes that fell outside the selected table
};

struct MotorRun {
    uint8_t command = 0;
    uint64_t startUs = 0;
    uint64_t endUs = 0;       // 0 while running
    bool running = true;
    int direction = 1;
    int64_t steps = 0;        // full steps the motor made
    int64_t paperSteps = 0;   // of which moved paper (motor outputs on, cover closed)
    CommandEnd end = CommandEnd::Host;
};

struct ScanRecord {
    uint64_t startUs = 0;
    uint64_t endUs = 0;
    bool running = true;
    CommandEnd end = CommandEnd::Host;
    ScanSettings settings;
    std::vector<LineTruth> lines;  // per stored line: what lay under the scan line
    uint64_t pauses = 0;
};

struct ProtocolError {
    uint64_t timeUs = 0;
    uint64_t transfer = 0;  // number of the bulk transfer it came with
    std::string text;
};

struct Counters {
    uint64_t transfersOut = 0, transfersIn = 0;
    uint64_t bytesOut = 0, bytesIn = 0;
    uint64_t failedTransfers = 0, shortTransfers = 0, stalledReads = 0;
    uint64_t linesStored = 0;
    uint64_t pauses = 0, resumes = 0;
    uint64_t lockTimeouts = 0;
};

struct Observations {
    std::vector<RegisterWrite> registerWrites;
    std::vector<MemoryWrite> memoryWrites;
    std::vector<MotorRun> motorRuns;
    std::vector<ScanRecord> scans;
    std::vector<ProtocolError> protocolErrors;
    Counters counters;
};

}  // namespace ordavel::virtual_scanner
