// A sheet-fed scanner on the desk: the reference virtual scanner with a chosen feeder, the
// reference description and neutral stored calibration in a scratch temporary directory, and
// the client's calling order through the exports (set parameters, start, read until the image
// is complete, feed, paper-empty check, stop).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ordavel.h"
#include "tests/support/test_context.h"
#include "virtual/fault.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::test {

// A fault that strikes each transfer of `direction` with `probability`, for the whole scan.
inline virtual_scanner::Fault ByChance(virtual_scanner::FaultType type,
                                       virtual_scanner::TransferDirection direction, double probability) {
    virtual_scanner::Fault f;
    f.type = type;
    f.direction = direction;
    f.probability = probability;
    f.repeat = 0;
    return f;
}

// The client's two windows on the 1680 x 2340 bed, at 200 dpi.
enum class ClientWindow { Narrow, Wide };

struct ClientScan {
    ClientWindow window = ClientWindow::Narrow;
    bool grey = true;        // else black and white
    bool enlarge = false;    // res 1: delivered at 3/2 as imageWidth x 2838
    int32_t lineOrder = 1;   // what the client passes before a sheet
};

// The request the client fills for a sheet.
ScanRequest ClientRequest(const ClientScan& scan);

// How the client sizes each ScanRead: always the same request, or at most that much of what is
// left of an image buffer sized for the whole page.
enum class ReadSizing { Fixed, WhatIsLeft };

struct ScannedPage {
    std::vector<uint8_t> bytes;
    int32_t lineBytes = 0;   // bytes per delivered line
    int32_t width = 0;       // pixels per line
    int32_t lines = 0;
    int32_t reads = 0;       // ScanRead calls
    int32_t result = -1;     // the last ScanRead result
    std::vector<int32_t> gots;

    uint8_t grey(int32_t x, int32_t y) const { return bytes[static_cast<std::size_t>(y) * lineBytes + x]; }
    bool white(int32_t x, int32_t y) const {  // black-and-white pages: bit set = white
        return ((bytes[static_cast<std::size_t>(y) * lineBytes + x / 8] >> (7 - x % 8)) & 1) != 0;
    }
};

// How the driver reaches the rig's scanner: through the in-process backend, or through devices
// the test adds itself (the scanner presented as a USB device, say).
enum class RigAttachment { InProcess, ByTest };

class SheetScanRig {
public:
    // The reference scanner with `sheets` in its feeder (the first at the ready position).
    explicit SheetScanRig(std::vector<virtual_scanner::SheetConfig> sheets, const std::string& tag = "sheet",
                          RigAttachment attachment = RigAttachment::InProcess);
    ~SheetScanRig();

    static virtual_scanner::SheetConfig Chart(std::optional<double> lengthInches = std::nullopt);

    DriverContext& ctx() { return scratch_.ctx(); }
    TestContext& scratch() { return scratch_; }
    virtual_scanner::VirtualScanner& scanner() { return *scanner_; }
    const std::shared_ptr<virtual_scanner::VirtualScanner>& sharedScanner() const { return scanner_; }

    // ScanSetScanParams twice as the client does (scan order to configure, then the request's
    // own line order).
    int32_t SetParams(const ScanRequest& request, ScanStatusCallback callback = nullptr);
    int32_t SetParams(const ClientScan& scan, ScanStatusCallback callback = nullptr) {
        return SetParams(ClientRequest(scan), callback);
    }
    // ScanStart, then ScanRead with `requestBytes` (sized by `sizing`) at advancing offsets until
    // it returns 1 or 2. Every read goes to a destination with guard bytes behind it, and the
    // calling test fails when a read wrote into them.
    ScannedPage ScanSheet(const ScanRequest& request, int32_t requestBytes = 65536,
                          ReadSizing sizing = ReadSizing::Fixed);
    ScannedPage ScanSheet(const ClientScan& scan, int32_t requestBytes = 65536) {
        return ScanSheet(ClientRequest(scan), requestBytes);
    }
    // What lay under output pixel (col, line) of the last scan, seen through a window whose first
    // column is imaging pixel `windowLeft`: a reflectance, or nullopt where no sheet was.
    std::optional<float> Truth(int32_t windowLeft, int32_t col, int32_t line);
    // The last scan's acquired lines with what lay under the scan line for each.
    const std::vector<virtual_scanner::LineTruth>& LastScanLines();
    // Writes a tone-curve file for `depth` that maps the 12-bit samples onto 0..255 with `gain`.
    void WriteToneCurve(int depth, double gain);

    int32_t Feed();
    // 1 when the paper-empty check says no sheet is at the sensors, 0 when one is, -1 on failure.
    int32_t PaperEmpty();
    int32_t Stop();
    // A test whose fault cuts commands short (a partial OUT transfer) lets the chip see the
    // truncated commands; the rig otherwise fails a test whose chip saw a malformed one.
    void tolerateProtocolErrors() { tolerateProtocolErrors_ = true; }

private:
    TestContext scratch_;
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner_;
    bool tolerateProtocolErrors_ = false;
};

// How a grey page follows the paper: the correlation of its values with the reflectance (0 when
// too few points of the page lie on paper to tell).
double GreyAgreement(SheetScanRig& rig, const ScannedPage& page, const ScanRequest& r);
// The share of pixels a black-and-white page gets right where the paper is clearly ink or
// clearly paper around the point (edges of shapes are left out).
double BlackWhiteAgreement(SheetScanRig& rig, const ScannedPage& page, const ScanRequest& r);

}  // namespace ordavel::test
