// Scan set-up state: current work file, calibrated flag, probe toggle; helpers for the start
// stamps and the progress counter, which live in the scan information the client reads.
#pragma once

#include <cstdint>
#include <string>

#include "ordavel.h"

namespace ordavel::engine {

struct SetupState {
    std::string workFile;       // path of the current work file; its name tells the job
    bool calibrated = false;    // calibration ran or stored calibration was downloaded
    bool probeToggle = false;   // flipped by every probe call; set while the nested set-up runs
};

// The engine keeps two start-time stamps, the first of each pair of ScanInfo stamps: the probe
// records its start in both, a sheet scan restamps both when the controller starts, and the
// acquisition keeps refreshing whichever is non-zero. The other two entries stay with the
// acquisition (they are cleared with the rest by every description load).
inline constexpr int kStartStampIndices[2] = {0, 2};

inline void SetStartStamps(ScanInfo& info, uint32_t tick) {
    for (int index : kStartStampIndices) info.stamps[index] = tick;
}

// Refreshes each start stamp that is non-zero (the acquisition's step).
inline void RefreshStartStamps(ScanInfo& info, uint32_t tick) {
    for (int index : kStartStampIndices) {
        if (info.stamps[index] != 0) info.stamps[index] = tick;
    }
}

// Progress: bytes read so far against the total image size of the running job.
inline void ClearProgress(ScanInfo& info) { info.progressPos = 0; }
inline void SetProgress(ScanInfo& info, int32_t bytesRead) { info.progressPos = bytesRead; }
inline void SetTotalImageSize(ScanInfo& info, int32_t bytes) { info.progressRange = bytes; }

}  // namespace ordavel::engine
