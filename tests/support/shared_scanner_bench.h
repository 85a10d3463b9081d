// A shared virtual scanner for tests: a configuration of the reference scanner with a chosen
// feeder in a scratch folder, its server running inside the test process (so the test sees the
// model's ground truth while real programs use the device), a calibrated driver folder, and a
// way to run the built programs against it. The server stops when the bench goes, so no server
// outlives a test.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "virtual/observation.h"
#include "virtual/shared_scanner_client.h"
#include "virtual/shared_scanner_server.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::test {

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error
    double realSeconds = 0;
};

// Runs `command` (a shell command line) in `folder`, with `environment` ("NAME=value ...") added.
ProgramRun RunInFolder(const std::string& folder, const std::string& environment, const std::string& command);

// An 8-bit grey bitmap file as the page files are written (rows bottom first).
struct GreyBitmap {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;  // top row first
    uint8_t at(int32_t x, int32_t y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
std::optional<GreyBitmap> ReadGreyBitmap(const std::string& path);

class SharedScannerBench {
public:
    // `pages`: built-in page names, the first sheet at the ready position. `serve`: run the
    // server inside the test (else the programs start the real one on demand).
    SharedScannerBench(const std::vector<std::string>& pages, double speed, bool serve = true);
    ~SharedScannerBench();
    SharedScannerBench(const SharedScannerBench&) = delete;
    SharedScannerBench& operator=(const SharedScannerBench&) = delete;

    const std::string& folder() const { return folder_; }
    const std::string& config() const { return config_; }
    virtual_scanner::VirtualScanner& scanner() { return *server_->scanner(); }
    const virtual_scanner::SharedScannerAddress& address() const { return address_; }

    // The environment the programs need to reach this device (the driver's folder included).
    std::string environment() const;
    // `mirt` with these arguments, run in the bench's folder.
    ProgramRun mirt(const std::string& arguments, const std::string& extraEnvironment = "") const;
    // A connection of this process to the device (a client like any other).
    virtual_scanner::SharedScannerConnection connect(const std::string& serverProgram = "") const;

    // The scans the model made, in order, that carried paper.
    std::vector<virtual_scanner::ScanRecord> paperScans();
    // How well a grey page written from `scan` follows what lay under the scan line: the
    // correlation of its pixels with the reflectance, seen through a window starting at
    // imaging pixel `windowLeft`.
    double Agreement(const GreyBitmap& page, const virtual_scanner::ScanRecord& scan, int32_t windowLeft);

    // The pid the server of this configuration wrote into its lock file (0 when none).
    long serverPid() const;

private:
    std::string folder_;
    std::string config_;
    virtual_scanner::SharedScannerAddress address_;
    std::unique_ptr<virtual_scanner::SharedScannerServer> server_;
    std::thread serving_;
};

// The narrow window of the client's requests, as mirt scans by default: 1100 pixels from
// imaging pixel 284.
inline constexpr int32_t kNarrowWindowLeft = 284;

}  // namespace ordavel::test
