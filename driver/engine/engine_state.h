// The scan engine's process-wide state: the current scan request, the scan information the
// client reads, the geometry records and the state of set-up, acquisition and line handling.
#pragma once

#include <cstdint>

#include "driver/engine/acquisition_state.h"
#include "driver/engine/line_output_state.h"
#include "driver/engine/line_processor_state.h"
#include "driver/engine/scan_parms.h"
#include "driver/engine/setup_state.h"
#include "ordavel.h"

namespace ordavel::engine {

// The destination of the current ScanRead: set by the session before each read step and filled
// by the line output with whole output lines.
struct Destination {
    uint8_t* buffer = nullptr;
    int32_t capacity = 0;    // bytes the acquisition may store (requestBytes)
    int32_t delivered = 0;   // bytes it did store (storedBytes)
};

struct EngineState {
    ScanRequest request{};   // the current scan request
    ScanInfo info{};         // what ScanGetScanInfo copies out
    ScanParms parms;
    LineGeometry geometry;
    Destination destination;
    SetupState setup;
    AcquisitionState acquisition;
    LineOutputState output;
    LineProcessorState processor;
};

}  // namespace ordavel::engine
