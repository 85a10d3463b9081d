// The shared virtual scanner as a device backend: raw pipes that reach the configuration's
// server over its local socket, starting the server when none runs.
//
// The backend keeps one connection for its whole life, so the server (and with it the device's
// feeder and paper path) stays up while any process that uses the device runs, and for the idle
// time after. Every pipe opened has a connection of its own, which is what owns the device lock.
// A server that died makes every call of its pipes fail at once; the next open connects again
// (starting a new server, which is a device switched off and on).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/raw_pipe.h"
#include "virtual/shared_scanner_protocol.h"

namespace ordavel::virtual_scanner {

struct SharedScannerStart {
    std::string serverProgram;    // started when no server answers; empty: never start one
    uint32_t startWaitMs = 5000;  // how long a server that was started may take to answer
};

struct SharedScannerConnection {
    std::shared_ptr<platform::DeviceBackend> backend;
    wire::Announcement announcement;  // the speed and origin this process's clock must follow
};

// Null with `error` when no server answers (and none could be started) or the server cannot
// load the configuration (the error then is its loading error).
std::optional<SharedScannerConnection> ConnectSharedScanner(const std::string& configPath,
                                                            const SharedScannerStart& start, std::string& error);

// The server program: MIRT_VIRTUAL_SERVER when set, else "mirt-virtual-scanner" in the first of
// `folders` that has it; empty when none has.
std::string FindSharedScannerServer(const std::string& fromEnvironment, const std::vector<std::string>& folders);

}  // namespace ordavel::virtual_scanner
