// The sheet-scan rig: the reference virtual scanner behind the driver's exports.
#include "tests/support/sheet_scan_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "driver/interface/export_operations.h"
#include "tests/support/image_stats.h"
#include "tests/support/test_paths.h"
#include "virtual/virtual_backend.h"

namespace ordavel::test {

namespace {

int32_t WindowLeft(const ScanRequest& r) { return r.scanRectLeft; }

// The source pixel (or line) an enlarged one repeats: pixels 0, 1 become 0, 0, 1.
int32_t SourceIndex(int32_t enlarged) { return enlarged / 3 * 2 + (enlarged % 3 == 2 ? 1 : 0); }

struct Point {
    int32_t x, y;       // in the delivered image
    int32_t sx, sy;     // on the scan grid
};

// Grid points of a delivered page, with the scan-grid pixel each one shows.
std::vector<Point> GridOf(const ScannedPage& page, bool enlarged, int32_t step) {
    std::vector<Point> points;
    for (int32_t y = 0; y < page.lines; y += step) {
        for (int32_t x = 0; x < page.width; x += step) {
            points.push_back({x, y, enlarged ? SourceIndex(x) : x, enlarged ? SourceIndex(y) : y});
        }
    }
    return points;
}

}  // namespace

// How a grey page follows the paper: the correlation of its values with the reflectance.
double GreyAgreement(SheetScanRig& rig, const ScannedPage& page, const ScanRequest& r) {
    std::vector<double> scanned, truth;
    for (const Point& p : GridOf(page, r.res != 0, 4)) {
        const auto t = rig.Truth(WindowLeft(r), p.sx, p.sy);
        if (!t) continue;
        scanned.push_back(page.grey(p.x, p.y));
        truth.push_back(*t);
    }
    return scanned.size() < 1000 ? 0.0 : test::Correlation(scanned, truth);
}

// The share of pixels a black-and-white page gets right where the paper is clearly ink or
// clearly paper around the point (edges of shapes are left out).
double BlackWhiteAgreement(SheetScanRig& rig, const ScannedPage& page, const ScanRequest& r) {
    int32_t agree = 0, total = 0;
    for (const Point& p : GridOf(page, r.res != 0, 4)) {
        int32_t ink = 0, paper = 0;
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dx = -1; dx <= 1; ++dx) {
                const auto t = rig.Truth(WindowLeft(r), p.sx + dx, p.sy + dy);
                if (t && *t < 0.2f) ++ink;
                if (t && *t > 0.7f) ++paper;
            }
        }
        if (ink != 9 && paper != 9) continue;
        ++total;
        if (page.white(p.x, p.y) == (paper == 9)) ++agree;
    }
    return total < 1000 ? 0.0 : static_cast<double>(agree) / total;
}


ScanRequest ClientRequest(const ClientScan& scan) {
    ScanRequest r{};
    r.lineOrder = scan.lineOrder;
    r.bedRight = 1680;
    r.bedBottom = 2340;
    const bool narrow = scan.window == ClientWindow::Narrow;
    r.scanRectLeft = narrow ? 284 : 130;
    r.scanRectRight = narrow ? 1384 : 1550;
    r.scanRectTop = 0;
    r.scanRectBottom = 1892;
    r.pixelType = scan.grey ? 1 : 0;
    r.bitDepth = scan.grey ? 8 : 1;
    r.xResolution = 200;
    r.yResolution = 200;
    r.res = scan.enlarge ? 1 : 0;
    r.imageWidth = narrow ? 1650 : 2130;
    r.imageHeight = 2838;
    return r;
}

SheetScanRig::SheetScanRig(std::vector<virtual_scanner::SheetConfig> sheets, const std::string& tag,
                           RigAttachment attachment)
    : scratch_(tag) {
    virtual_scanner::ScannerConfig config;
    std::string error;
    EXPECT_TRUE(virtual_scanner::LoadScannerConfig(DataDir() + "/virtual/reference.ini", config, error)) << error;
    config.feeder.firstSheet = virtual_scanner::FirstSheetPlacement::Ready;
    config.feeder.sheets = std::move(sheets);
    scanner_ = virtual_scanner::VirtualScanner::Create(config, scratch_.sharedClock(), error);
    EXPECT_TRUE(scanner_) << error;
    if (attachment == RigAttachment::InProcess) {
        scratch_.devices().addBackend(virtual_scanner::MakeVirtualScannerBackend(scanner_));
    }
    scratch_.writeSettings("[SETUP]\nScannerFile=Mirt9832.dsc\nDebug=0\nScan_Buffer_MBytes=8\n");
    scratch_.writeFile(scratch_.tempDir() + "/Mirt9832.dsc", scratch_.readFile(DataDir() + "/Mirt9832.dsc"));
    scratch_.writeNeutralCalibration();
}

SheetScanRig::~SheetScanRig() {
    if (scanner_ && !tolerateProtocolErrors_) {
        const auto& errors = scanner_->observations().protocolErrors;
        EXPECT_TRUE(errors.empty()) << errors.size() << " protocol errors, the first at transfer "
                                    << errors.front().transfer << ": " << errors.front().text;
    }
}

virtual_scanner::SheetConfig SheetScanRig::Chart(std::optional<double> lengthInches) {
    virtual_scanner::SheetConfig sheet;
    sheet.page = "chart";
    sheet.lengthInches = lengthInches;
    return sheet;
}

int32_t SheetScanRig::SetParams(const ScanRequest& request, ScanStatusCallback callback) {
    ScanRequest r = request;
    r.lineOrder = 0;
    const int32_t first = interface::ScanSetScanParams(ctx(), &r, callback);
    if (first != 0) return first;
    r.lineOrder = request.lineOrder;
    return interface::ScanSetScanParams(ctx(), &r, callback);
}

ScannedPage SheetScanRig::ScanSheet(const ScanRequest& r, int32_t requestBytes, ReadSizing sizing) {
    ScannedPage page;
    ScanInfo info{};
    interface::ScanGetScanInfo(ctx(), &info);
    const bool grey = r.pixelType == 1;
    page.lineBytes = info.lineBytes;
    page.width = r.scanRectRight - r.scanRectLeft;
    int64_t imageBytes = int64_t{page.lineBytes} * (r.scanRectBottom - r.scanRectTop);
    if (r.res != 0) {
        page.width = r.imageWidth;
        page.lineBytes = grey ? (r.imageWidth + 3) / 4 * 4 : ((r.imageWidth + 7) / 8 + 3) / 4 * 4;
        imageBytes = int64_t{page.lineBytes} * r.imageHeight;
    }
    page.result = interface::ScanStart(ctx());
    if (page.result != 0) return page;
    constexpr std::size_t kGuardBytes = 64;
    constexpr uint8_t kGuard = 0xA5;
    std::vector<uint8_t> buffer(static_cast<std::size_t>(requestBytes) + kGuardBytes);
    for (;;) {
        int32_t size = requestBytes;
        if (sizing == ReadSizing::WhatIsLeft) {
            size = static_cast<int32_t>(std::clamp<int64_t>(imageBytes - static_cast<int64_t>(page.bytes.size()), 0,
                                                            requestBytes));
        }
        std::fill(buffer.begin() + size, buffer.end(), kGuard);
        int32_t got = 0;
        page.result = interface::ScanRead(ctx(), buffer.data(), size, &got);
        ++page.reads;
        page.gots.push_back(got);
        const auto overrun = std::find_if(buffer.begin() + size, buffer.end(), [](uint8_t b) { return b != kGuard; });
        EXPECT_EQ(overrun, buffer.end()) << "read " << page.reads << " of " << size << " bytes wrote "
                                         << (overrun - buffer.begin() - size + 1) << " bytes or more past its end";
        if (page.result == 1) break;
        EXPECT_LE(got, size) << "read " << page.reads;
        page.bytes.insert(page.bytes.end(), buffer.begin(), buffer.begin() + std::min(got, size));
        if (page.result == 2) break;
        if (page.reads > 100000) break;
    }
    if (page.lineBytes > 0) page.lines = static_cast<int32_t>(page.bytes.size() / static_cast<std::size_t>(page.lineBytes));
    return page;
}

const std::vector<virtual_scanner::LineTruth>& SheetScanRig::LastScanLines() {
    static const std::vector<virtual_scanner::LineTruth> kNone;
    const auto& scans = scanner_->observations().scans;
    return scans.empty() ? kNone : scans.back().lines;
}

std::optional<float> SheetScanRig::Truth(int32_t windowLeft, int32_t col, int32_t line) {
    const auto& lines = LastScanLines();
    if (line < 0 || static_cast<std::size_t>(line) >= lines.size() || lines[static_cast<std::size_t>(line)].sheet == 0) {
        return std::nullopt;
    }
    const virtual_scanner::LineTruth& t = lines[static_cast<std::size_t>(line)];
    const auto page = scanner_->sheetPage(t.sheet);
    const auto& sensor = scanner_->config().sensor;
    const double x = page->widthInches() / 2 + (windowLeft + col - sensor.paperCentre + 0.5) / sensor.opticalResolution;
    if (!page->contains(x, t.yInches)) return std::nullopt;
    return page->reflectance(x, t.yInches, virtual_scanner::Channel::Blue);
}

void SheetScanRig::WriteToneCurve(int depth, double gain) {
    std::string text;
    char line[32];
    for (const char* name : {"red", "green", "blue"}) {
        text += std::string(";Gamma Data (") + name + ")\n";
        for (int i = 0; i < 4096; ++i) {
            std::snprintf(line, sizeof line, "%X\t%X\n", i, std::min(255, static_cast<int>(i / 16.0 * gain)));
            text += line;
        }
    }
    scratch_.writeFile(scratch_.tempDir() + "/gamma_" + std::to_string(depth) + ".gam", text);
}

int32_t SheetScanRig::Feed() { return interface::ScanFeedPaper(ctx()); }

int32_t SheetScanRig::PaperEmpty() {
    int32_t empty = -1;
    if (interface::ScanPaperEmpty(ctx(), &empty) != 0) return -1;
    return empty;
}

int32_t SheetScanRig::Stop() { return interface::ScanStop(ctx()); }

}  // namespace ordavel::test
