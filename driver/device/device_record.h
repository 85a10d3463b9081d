// The driver's device record: the transport's and paper path's per-process state that lives
// beside the scanner description (status text and callback, verification, data end, feed).
#pragma once

#include <cstdint>

#include "ordavel.h"

namespace ordavel::device {

inline constexpr int kMessageTextSize = 256;

struct DeviceRecord {
    int32_t verifyWrites = 0;                   // Debug of "Mirt.def": read-back verification
    char messageText[kMessageTextSize] = {};    // last status message, NUL-terminated
    ScanStatusCallback statusCallback = nullptr;
    int32_t dataEnded = 0;                      // a data-port read returned nothing
    int32_t feedNeeded = 1;                     // 1 selects the full feed, 0 the short feed

    // The running export's first failure text, which the client reads once the export has failed
    // (the clean-up after a failure reports texts of its own). Empty while nothing has failed.
    int32_t exportDepth = 0;                    // exports running (a callback may re-enter one)
    char firstFailure[kMessageTextSize] = {};
    // The cause the last failed export left for the client, kept through the clean-up export
    // that follows it (ScanStop). Empty once an export has succeeded since.
    char standingCause[kMessageTextSize] = {};
};

}  // namespace ordavel::device
