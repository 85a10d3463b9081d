// Acquisition state of the one open scan: flags, buffers, transfer ring, counters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/engine/byte_block.h"
#include "driver/engine/sheet_watch.h"
#include "driver/engine/work_file_job.h"

namespace ordavel::engine {

// The transfer ring: image data passes through it on its way into the work buffer. It is never
// filled beyond kRingFillLimit bytes.
inline constexpr int32_t kRingBytes = 262144;
inline constexpr int32_t kRingFillLimit = 261888;

struct AcquisitionState {
    bool idle = true;                  // no scan open
    bool insideStep = false;           // a read step is calling the status callback
    bool started = false;              // the first read step has started the controller
    ScanJob job = ScanJob::Other;
    std::string workFilePath;          // the open scan's work file
    std::FILE* workFile = nullptr;

    // The work buffer: unconsumed bytes start at `readOffset` (non-zero only while a full
    // destination interrupts a delivery) and run for `bytesInBuffer` bytes.
    ByteBlock workBuffer;
    int32_t readOffset = 0;
    int32_t bytesInBuffer = 0;
    std::vector<uint8_t> imageBuffer;  // stages the line processor's rows (sheet scans)
    std::vector<uint8_t> ring;         // kRingBytes, allocated once and kept
    int32_t ringRead = 0;
    int32_t ringWrite = 0;

    int32_t totalRead = 0;             // bytes read from the controller in this scan
    int32_t linesToScan = 0;
    int32_t stopCount = 0;             // registers 0x4C/0x4D when the controller stops by count
    int32_t bytesWanted = 0;           // what the last availability sample allowed to read
    bool amountCounted = false;        // the data counter said bytesWanted are there
    // Image data as it came from the controller (white fill not counted), and the first byte of
    // a line's status word when a read ended between its two bytes: every line is checked as it
    // arrives, so bytes lost on the way are noticed instead of shifting the rest of the image.
    int64_t controllerBytes = 0;
    uint8_t statusHigh = 0;

    bool dataExpected = true;
    bool motorRunning = true;
    bool paperOutSeen = false;         // the sheet has left paper sensor 1 during this scan
    // No sheet was at paper sensor 2 either when the sheet left sensor 1. Kept with
    // paperOutSeen for the rest of the scan, so that a later read step does not forget that
    // no sheet follows.
    bool lastSheet = false;
    SheetWatchState watch;             // where the sheet is, by the paper sensors (sheet scans)
    bool done = false;
    bool error = false;
    bool delivering = false;           // a full destination interrupted the delivery
};

}  // namespace ordavel::engine
