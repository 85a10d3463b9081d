// The device: making it from a configuration, the USB function with its costs and faults, keeping
// the model up to the clock, scripted faults and observation.
#include "virtual/virtual_scanner.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "virtual/builtin_pages.h"
#include "virtual/png_page.h"

namespace ordavel::virtual_scanner {

bool MakeSheets(const ScannerConfig& config, std::vector<Sheet>& sheets, std::string& error) {
    std::map<std::string, std::shared_ptr<const Page>> made;  // sheets showing one page share it
    sheets.clear();
    for (const SheetConfig& sc : config.feeder.sheets) {
        const std::string key = sc.page + "@" + std::to_string(sc.resolution);
        auto& page = made[key];
        if (!page) page = MakeBuiltinPage(sc.page);
        if (!page) page = LoadPngPage(sc.page, sc.resolution, error);
        if (!page) return false;
        Sheet sheet;
        sheet.number = static_cast<int>(sheets.size()) + 1;
        sheet.page = page;
        if (sc.lengthInches) sheet.page = std::make_shared<ResizedPage>(page, *sc.lengthInches, kPaperWhite);
        sheet.lengthSteps = sheet.page->heightInches() * config.path.stepsPerInch;
        sheet.skewRadians = sc.skewDegrees * std::numbers::pi / 180.0;
        sheet.offsetInches = sc.offsetInches;
        sheets.push_back(std::move(sheet));
    }
    return true;
}

namespace {
std::vector<Sheet> shaped(const FaultInjector& faults, std::vector<Sheet> sheets, const PathConfig& path) {
    faults.shapeSheets(sheets, path, kPaperWhite);
    return sheets;
}
}  // namespace

std::shared_ptr<VirtualScanner> VirtualScanner::Create(const ScannerConfig& config,
                                                       std::shared_ptr<platform::VirtualClock> clock,
                                                       std::string& error) {
    if (!clock) {
        error = "the virtual scanner needs a virtual clock";
        return nullptr;
    }
    std::vector<Sheet> sheets;
    if (!MakeSheets(config, sheets, error)) return nullptr;
    return std::shared_ptr<VirtualScanner>(new VirtualScanner(config, std::move(clock), std::move(sheets)));
}

VirtualScanner::VirtualScanner(const ScannerConfig& config, std::shared_ptr<platform::VirtualClock> clock,
                               std::vector<Sheet> sheets)
    : config_(config),
      clock_(std::move(clock)),
      startUs_(clock_->microseconds()),
      faults_(config.faults, config.faultSeed),
      paper_(config.path, shaped(faults_, std::move(sheets), config.path), config.feeder.firstSheet),
      sensor_(config.sensor, config.chip),
      renderer_(config_, sensor_, memory_),
      sequencer_(registers_, buffer_, *this),
      front_(*this) {
    inputs_.update(currentLevels(now()), registers_.get(reg::kPaperSensorConfig), registers_.get(reg::kMiscIo12));
}

VirtualScanner::~VirtualScanner() = default;

uint64_t VirtualScanner::msSinceStart(Ticks when) const {
    const uint64_t us = when / kTicksPerMicrosecond;
    return us > startUs_ ? (us - startUs_) / 1000 : 0;
}

void VirtualScanner::advanceClockTo(Ticks when) {
    const uint64_t us = TicksToMicrosecondsCeil(when);
    if (us > clock_->microseconds()) clock_->advanceMicroseconds(us - clock_->microseconds());
}

void VirtualScanner::syncTo(Ticks when) {
    sequencer_.advanceTo(when);
    reachTime(when);
}

void VirtualScanner::sync() {
    std::lock_guard guard(mutex_);
    syncTo(now());
}

// ---- USB function ----

void VirtualScanner::chargeTransfer(std::size_t bytes) {
    const auto busMicros = static_cast<uint64_t>(std::ceil(static_cast<double>(bytes) * 1e6 / config_.usb.bytesPerSecond));
    clock_->advanceMicroseconds(std::max<uint64_t>(config_.usb.frameMicros, busMicros));
}

namespace {
// The bytes of a short transfer that get through: a share of them, whole bytes, at most all.
std::size_t KeptBytes(std::size_t size, double share) {
    return std::min(size, static_cast<std::size_t>(static_cast<double>(size) * std::clamp(share, 0.0, 1.0)));
}
}  // namespace

bool VirtualScanner::bulkOut(std::span<const uint8_t> data) {
    std::lock_guard guard(mutex_);
    ++transferNumber_;
    ++log_.counters.transfersOut;
    double keptShare = 0.5;
    const TransferFate fate = faults_.transfer(TransferDirection::Out, msSinceStart(now()), &keptShare);
    if (faults_.disconnected(msSinceStart(now()))) {
        chargeTransfer(0);
        ++log_.counters.failedTransfers;
        return false;
    }
    chargeTransfer(data.size());
    if (fate == TransferFate::Fail) {
        ++log_.counters.failedTransfers;
        return false;
    }
    syncTo(now());
    if (fate == TransferFate::Short) {
        ++log_.counters.shortTransfers;
        const std::size_t kept = KeptBytes(data.size(), keptShare);
        front_.bulkOut(data.first(kept));
        log_.counters.bytesOut += kept;
        return false;
    }
    front_.bulkOut(data);
    log_.counters.bytesOut += data.size();
    return true;
}

bool VirtualScanner::bulkIn(std::span<uint8_t> buffer, std::size_t& received) {
    std::lock_guard guard(mutex_);
    received = 0;
    ++transferNumber_;
    ++log_.counters.transfersIn;
    double keptShare = 0.5;
    const TransferFate fate = faults_.transfer(TransferDirection::In, msSinceStart(now()), &keptShare);
    if (faults_.disconnected(msSinceStart(now()))) {
        front_.abandonRead();  // the answer is lost with the device
        chargeTransfer(0);
        ++log_.counters.failedTransfers;
        return false;
    }
    if (fate == TransferFate::Fail) {
        front_.abandonRead();
        chargeTransfer(0);
        ++log_.counters.failedTransfers;
        return false;
    }
    syncTo(now());
    const bool isShort = fate == TransferFate::Short;
    const bool ok = front_.bulkIn(isShort ? buffer.first(KeptBytes(buffer.size(), keptShare)) : buffer, received);
    if (isShort) {
        // The chip's answer ends early; the rest of it is lost to this read.
        front_.abandonRead();
        ++log_.counters.shortTransfers;
    }
    chargeTransfer(received);
    log_.counters.bytesIn += received;
    return ok;
}

bool VirtualScanner::present() {
    std::lock_guard guard(mutex_);
    return !faults_.disconnected(msSinceStart(now()));
}

void VirtualScanner::noteLockTimeout() {
    std::lock_guard guard(mutex_);
    ++log_.counters.lockTimeouts;
}

// ---- faults and observation ----

void VirtualScanner::addFault(const Fault& fault) {
    std::lock_guard guard(mutex_);
    syncTo(now());
    faults_.add(fault);
    if (Sheet* sheet = paper_.sheet(fault.sheet)) {
        ApplySheetFault(fault, *sheet, paper_.sheet(fault.sheet + 1), config_.path, kPaperWhite);
    }
    syncTo(now());
}

const Observations& VirtualScanner::observations() {
    std::lock_guard guard(mutex_);
    syncTo(now());
    return log_;
}

std::vector<Sheet> VirtualScanner::sheets() {
    std::lock_guard guard(mutex_);
    syncTo(now());
    return paper_.sheets();
}

LineTruth VirtualScanner::underScanLine() {
    std::lock_guard guard(mutex_);
    syncTo(now());
    const double line = config_.path.scanLine;
    for (const Sheet& s : paper_.sheets()) {
        if (s.state == SheetState::InPath && s.tail() < line && line <= s.lead) {
            return {s.number, (s.lead - line) / config_.path.stepsPerInch};
        }
    }
    return {};
}

std::shared_ptr<const Page> VirtualScanner::sheetPage(int number) {
    std::lock_guard guard(mutex_);
    const Sheet* sheet = paper_.sheet(number);
    return sheet ? sheet->page : nullptr;
}

InputLevels VirtualScanner::inputLevels() {
    std::lock_guard guard(mutex_);
    syncTo(now());
    return inputs_.levels();
}

int64_t VirtualScanner::motorPosition() {
    std::lock_guard guard(mutex_);
    syncTo(now());
    return motorPosition_;
}

std::size_t VirtualScanner::bufferedBytes() {
    std::lock_guard guard(mutex_);
    syncTo(now());
    return buffer_.size();
}

}  // namespace ordavel::virtual_scanner
