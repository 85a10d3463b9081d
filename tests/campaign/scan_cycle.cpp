// The client's calling order for a calibration and a sheet, recorded for the campaign.
#include "tests/campaign/scan_cycle.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "tests/campaign/transfer_log.h"
#include "virtual/scanner_config.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::campaign {

namespace {

// The status callback carries no context: the cycle that runs (one per process at a time)
// records through this pointer.
struct Recorder {
    DriverContext* ctx = nullptr;
    std::vector<std::string>* texts = nullptr;
};
Recorder g_recorder;

int32_t RecordStatus(int32_t kind) {
    if (kind == 0 && g_recorder.ctx != nullptr) g_recorder.texts->emplace_back(g_recorder.ctx->record.messageText);
    return 0;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The client's narrow grey window at 200 dpi, as it asks for every sheet.
ScanRequest SheetRequest(ScanRequest r) {
    r.bedLeft = r.bedTop = 0;
    r.bedRight = 1680;
    r.bedBottom = 2340;
    r.scanRectLeft = 284;
    r.scanRectRight = 1384;
    r.scanRectTop = 0;
    r.scanRectBottom = 1892;
    r.pixelType = 1;
    r.bitDepth = 8;
    r.xResolution = r.yResolution = 200;
    r.res = 0;
    return r;
}

// Calibration measures the whole bed, grey, at the optical resolution.
ScanRequest CalibrationRequest(ScanRequest r) {
    r = SheetRequest(r);
    r.scanRectLeft = 0;
    r.scanRectRight = 1680;
    r.scanRectBottom = 2340;
    r.lineOrder = 0;
    return r;
}

class Cycle {
public:
    Cycle(const CycleSetup& setup, CycleRecord& record) : setup_(setup), record_(record) {}

    void run() {
        if (!build()) return;
        g_recorder = {ctx_.get(), &record_.texts};
        interface::AttachLibrary(*ctx_, nullptr);
        const bool ok = (setup_.kind == CycleKind::ScanOnly || calibrate()) && scan();
        record_.completed = ok;
        if (!ok && !record_.failedCall.empty()) record_.afterCleanUp = status();
        record_.openAtEnd = open();
        interface::DetachLibrary(*ctx_);
        g_recorder = {};
        record_.transfers = log_->count();
        record_.transfersIn = log_->countIn();
        if (setup_.labelTransfers) {
            record_.transferLabels = log_->transfers();
            record_.answerTransfers = log_->answers();
        }
        const auto& observed = scanner_->observations();
        for (const auto& e : observed.protocolErrors) record_.protocolErrors.emplace_back(e.transfer, e.text);
        if (!observed.scans.empty()) {
            for (const auto& t : observed.scans.back().lines) record_.lastScanTruth.emplace_back(t.sheet, t.yInches);
        }
    }

private:
    bool build() {
        virtual_scanner::ScannerConfig config;
        std::string error;
        if (!virtual_scanner::LoadScannerConfig(std::string(MIRT_DATA_DIR) + "/virtual/reference.ini", config, error)) {
            record_.setupError = error;
            return false;
        }
        config.feeder.firstSheet = virtual_scanner::FirstSheetPlacement::Ready;
        config.feeder.sheets.clear();
        virtual_scanner::SheetConfig white, chart;
        white.page = "white";
        chart.page = "chart";
        if (setup_.kind == CycleKind::CalibrateAndScan) config.feeder.sheets.push_back(white);
        config.feeder.sheets.push_back(chart);
        config.faults = setup_.faults;
        auto clock = std::make_shared<platform::VirtualClock>(1000000);
        scanner_ = virtual_scanner::VirtualScanner::Create(config, clock, error);
        if (!scanner_) {
            record_.setupError = error;
            return false;
        }
        log_ = std::make_shared<TransferLog>();
        log_->keepLabels(setup_.labelTransfers);
        auto devices = std::make_shared<platform::DeviceList>();
        devices->addBackend(LoggedBackend(virtual_scanner::MakeVirtualScannerBackend(scanner_), log_));
        ctx_ = std::make_unique<DriverContext>(DriverEnvironment{clock, devices, setup_.tempDir, setup_.tempDir});
        return true;
    }

    std::string status() {
        ScanInfo info{};
        interface::ScanGetScanInfo(*ctx_, &info);
        info.statusText[sizeof info.statusText - 1] = '\0';
        return info.statusText;
    }
    bool open() const { return ctx_->connection.pipe != nullptr; }

    // Notes one export's result; on the first failure, what the client reads right after it.
    bool note(const char* name, int32_t result, int32_t failure = 1) {
        record_.calls.push_back({name, result, log_->count()});
        if (result != failure) return true;
        if (record_.failedCall.empty()) {
            record_.failedCall = name;
            record_.cause = status();
            record_.openAfterFailure = open();
        }
        return false;
    }

    bool setParams(const ScanRequest& r) {
        return note("ScanSetScanParams", interface::ScanSetScanParams(*ctx_, &r, &RecordStatus));
    }

    bool calibrate() {
        ScanRequest r{};
        if (!note("ScanGetScanParams", interface::ScanGetScanParams(*ctx_, &r))) return false;
        if (!setParams(CalibrationRequest(r))) return false;
        return note("ScanCalibration", interface::ScanCalibration(*ctx_));
    }

    // The client's sheet: scan order to configure, bitmap order before the sheet, start, read
    // until complete, feed the sheet out, look for another, stop. A failure after the start is
    // followed by the client's stop.
    bool scan() {
        ScanRequest r{};
        if (!note("ScanGetScanParams", interface::ScanGetScanParams(*ctx_, &r))) return false;
        r = SheetRequest(r);
        r.lineOrder = 0;
        if (!setParams(r)) return false;
        r.lineOrder = 1;
        if (!setParams(r)) return false;
        ScanInfo info{};
        interface::ScanGetScanInfo(*ctx_, &info);
        record_.lineBytes = info.lineBytes;
        if (!note("ScanStart", interface::ScanStart(*ctx_))) return stopAfterFailure();
        if (!read(info.totalBytes)) return stopAfterFailure();
        if (!note("ScanFeedPaper", interface::ScanFeedPaper(*ctx_))) return stopAfterFailure();
        int32_t empty = 1;
        if (!note("ScanPaperEmpty", interface::ScanPaperEmpty(*ctx_, &empty))) return stopAfterFailure();
        return note("ScanStop", interface::ScanStop(*ctx_));
    }

    bool read(int32_t totalBytes) {
        std::vector<uint8_t> buffer(65536);
        for (uint32_t reads = 0; reads < setup_.maxReads; ++reads) {
            int32_t got = 0;
            const int32_t rc = interface::ScanRead(*ctx_, buffer.data(), static_cast<int32_t>(buffer.size()), &got);
            if (rc == 1) return note("ScanRead", rc);
            if (got > 0) record_.page.insert(record_.page.end(), buffer.begin(), buffer.begin() + got);
            if (rc == 2) {
                note("ScanRead", rc);
                // A page that ends short of its size is not a complete page.
                return static_cast<int64_t>(record_.page.size()) == totalBytes || totalBytes <= 0;
            }
        }
        record_.readsNeverEnded = true;
        return note("ScanRead", 1);
    }

    bool stopAfterFailure() {
        interface::ScanStop(*ctx_);
        return false;
    }

    const CycleSetup& setup_;
    CycleRecord& record_;
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner_;
    std::shared_ptr<TransferLog> log_;
    std::unique_ptr<DriverContext> ctx_;
};

}  // namespace

bool InstallDriverFiles(const std::string& tempDir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(tempDir, ec);
    const std::string description = ReadWhole(std::string(MIRT_DATA_DIR) + "/Mirt9832.dsc");
    if (description.empty()) {
        error = "the reference description cannot be read";
        return false;
    }
    std::ofstream(tempDir + "/Mirt9832.dsc", std::ios::binary) << description;
    std::ofstream(tempDir + "/Mirt.def", std::ios::binary)
        << "[SETUP]\nScannerFile=Mirt9832.dsc\nDebug=0\nScan_Buffer_MBytes=8\n";
    if (!std::filesystem::exists(tempDir + "/Mirt.def", ec)) {
        error = tempDir + ": the driver's files cannot be written";
        return false;
    }
    return true;
}

CycleRecord RunCycle(const CycleSetup& setup) {
    CycleRecord record;
    Cycle(setup, record).run();
    return record;
}

std::string CallOfTransfer(const CycleRecord& clean, uint64_t n) {
    for (const ExportCall& call : clean.calls) {
        if (n <= call.transfersAfter) return call.name;
    }
    return "after the cycle";
}

}  // namespace ordavel::campaign
