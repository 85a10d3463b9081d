// One calibrate + scan cycle as a client runs it, through the driver's exports on a fresh driver
// context against an in-process virtual scanner, with a record of everything a verdict needs:
// each export's result, the status text a client reads after a failure and after its clean-up,
// whether the device connection was left open, every status text in order, and the page.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "virtual/fault.h"

namespace ordavel::campaign {

enum class CycleKind {
    CalibrateAndScan,  // white calibration sheet then the chart: calibrate, then scan the chart
    ScanOnly,          // the chart alone, scanned with the stored calibration
};

struct CycleSetup {
    CycleKind kind = CycleKind::CalibrateAndScan;
    std::string tempDir;  // the driver's files, as the cycle finds and leaves them
    std::vector<virtual_scanner::Fault> faults;
    bool labelTransfers = false;
    uint32_t maxReads = 20000;  // ScanRead calls before a scan counts as never ending
};

struct ExportCall {
    std::string name;
    int32_t result = 0;
    uint64_t transfersAfter = 0;  // transfers made up to the end of this call
};

struct CycleRecord {
    std::vector<ExportCall> calls;
    std::vector<std::string> texts;  // every status text reported, in order
    bool completed = false;          // every export succeeded and the page is complete
    bool readsNeverEnded = false;    // the scan was still not complete after maxReads reads
    std::string failedCall;          // the first export that failed
    std::string cause;               // the status text read right after it
    std::string afterCleanUp;        // the status text read after the client's clean-up
    bool openAfterFailure = false;   // the device connection was left open by the failed export
    bool openAtEnd = false;          // ... or still after the clean-up
    std::vector<uint8_t> page;
    int32_t lineBytes = 0;
    uint64_t transfers = 0;
    uint64_t transfersIn = 0;
    std::vector<std::string> transferLabels;  // with labelTransfers: what transfer N carried
    std::vector<uint64_t> answerTransfers;    // ... and the transfer number of answer N
    // What the virtual scanner found wrong in the framing, with the transfer it came with.
    std::vector<std::pair<uint64_t, std::string>> protocolErrors;
    // Where the paper lay for each line of the last scan the controller made (sheet, inches).
    std::vector<std::pair<int, double>> lastScanTruth;
    std::string setupError;                   // the cycle could not be set up (not a driver outcome)
};

// The driver's files for the reference scanner in `tempDir`: "Mirt.def" and the description.
bool InstallDriverFiles(const std::string& tempDir, std::string& error);

CycleRecord RunCycle(const CycleSetup& setup);

// Names of the export whose transfers include transfer `n` (1-based), from a clean record.
std::string CallOfTransfer(const CycleRecord& clean, uint64_t n);

}  // namespace ordavel::campaign
