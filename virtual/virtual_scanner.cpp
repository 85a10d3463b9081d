// The device: register dispatch, the data port, the USB function with its costs and faults, the
// sequencer's view of the paper path and sensor, and the record of it all.
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

// ---- inputs ----

InputLevels VirtualScanner::currentLevels(Ticks when) const {
    const uint64_t ms = msSinceStart(when);
    InputLevels levels;
    levels.paperSensor1 = faults_.stuckInput(InputId::PaperSensor1, ms).value_or(paper_.atSensor1());
    levels.paperSensor2 = faults_.stuckInput(InputId::PaperSensor2, ms).value_or(paper_.atSensor2());
    levels.tray = faults_.stuckInput(InputId::Tray, ms).value_or(paper_.trayEmpty() || faults_.coverOpen(ms));
    return levels;
}

void VirtualScanner::refreshInputs(Ticks when) {
    const InputLevels before = inputs_.levels();
    const InputLevels after = currentLevels(when);
    if (after == before) return;
    inputs_.update(after, registers_.get(reg::kPaperSensorConfig), registers_.get(reg::kMiscIo12));
    const uint8_t changed = static_cast<uint8_t>((before.paperSensor1 != after.paperSensor1 ? 0x01 : 0) |
                                                 (before.paperSensor2 != after.paperSensor2 ? 0x02 : 0));
    if (changed) sequencer_.inputsChanged(changed);
}

// ---- sequencer host ----

void VirtualScanner::reachTime(Ticks when) {
    faults_.updatePaperPath(paper_, msSinceStart(when));
    refreshInputs(when);
}

void VirtualScanner::motorStep(int direction, Ticks when) {
    motorPosition_ += direction;
    MotorRun& run = log_.motorRuns.back();
    ++run.steps;
    const uint64_t ms = msSinceStart(when);
    // With the motor outputs off the sequencer still counts steps, but nothing turns; with the
    // cover open the rollers are lifted off the paper.
    const bool drives = (registers_.get(reg::kMotorConfig) & bits::kMotorOutputsEnabled) && !faults_.coverOpen(ms);
    if (drives) {
        paper_.step(direction);
        ++run.paperSteps;
        faults_.updatePaperPath(paper_, ms);
    }
    refreshInputs(when);
}

void VirtualScanner::commandStarted(uint8_t command, bool motorRuns, Ticks when) {
    if (!motorRuns) return;
    MotorRun run;
    run.command = command;
    run.startUs = when / kTicksPerMicrosecond;
    run.direction = (registers_.get(reg::kMotorConfig) & bits::kMotorReverse) ? -1 : 1;
    log_.motorRuns.push_back(run);
}

void VirtualScanner::scanStarting(const ScanSettings& settings, Ticks when) {
    renderer_.prepare(settings);
    ScanRecord record;
    record.startUs = when / kTicksPerMicrosecond;
    record.settings = settings;
    log_.scans.push_back(std::move(record));
}

void VirtualScanner::acquireLine(uint64_t index, uint8_t* out, Ticks) { pendingTruth_ = renderer_.render(paper_, index, out); }

void VirtualScanner::lineStored(uint64_t, Ticks) {
    log_.scans.back().lines.push_back(pendingTruth_);
    ++log_.counters.linesStored;
}

void VirtualScanner::pauseChanged(bool paused, Ticks) {
    if (paused) {
        ++log_.counters.pauses;
        ++log_.scans.back().pauses;
    } else {
        ++log_.counters.resumes;
    }
}

void VirtualScanner::commandEnded(uint8_t command, CommandEnd how, int64_t, Ticks when) {
    if (!log_.motorRuns.empty() && log_.motorRuns.back().running) {
        MotorRun& run = log_.motorRuns.back();
        run.running = false;
        run.endUs = when / kTicksPerMicrosecond;
        run.end = how;
    }
    if (command == command::kScan && !log_.scans.empty() && log_.scans.back().running) {
        ScanRecord& scan = log_.scans.back();
        scan.running = false;
        scan.endUs = when / kTicksPerMicrosecond;
        scan.end = how;
    }
}

// ---- registers ----

void VirtualScanner::logMemoryWrite() {
    const uint64_t us = clock_->microseconds();
    const uint16_t address = static_cast<uint16_t>(memory_.addressHigh() << 8 | memory_.addressLow());
    auto& writes = log_.memoryWrites;
    if (writes.empty() || memoryWriteTransfer_ != transferNumber_ || writes.back().select != registers_.get(reg::kMemorySelect)) {
        writes.push_back({us, registers_.get(reg::kMemorySelect), address, 0, 0});
        memoryWriteTransfer_ = transferNumber_;
    }
    ++writes.back().bytes;
}

void VirtualScanner::writeRegister(uint8_t address, uint8_t value) {
    const Ticks t = now();
    if (address != reg::kMemoryData) log_.registerWrites.push_back({clock_->microseconds(), address, value});
    switch (address) {
        case reg::kDataPort:
        case reg::kDataCounter:
        case reg::kStatus:
        case reg::kVersion: return;  // read-only
        case reg::kMemorySelect: memory_.select(value); break;
        case reg::kMemoryAddressHigh: memory_.setAddressHigh(value); break;
        case reg::kMemoryAddressLow: memory_.setAddressLow(value); break;
        case reg::kMemoryData: {
            logMemoryWrite();
            if (!memory_.write(value)) ++log_.memoryWrites.back().dropped;
            return;
        }
        case reg::kCommand:
            registers_.set(address, value);
            sequencer_.write(value, t);
            return;
        case reg::kMemoryConfig: buffer_.setLarge((value & bits::kMemoryLarge) != 0); break;
        default: break;
    }
    registers_.set(address, value);
    if (address == reg::kPaperSensorConfig || address == reg::kMiscIo12) {
        inputs_.update(inputs_.levels(), registers_.get(reg::kPaperSensorConfig), registers_.get(reg::kMiscIo12));
    }
}

uint8_t VirtualScanner::statusRegisterValue(bool consume) {
    const uint8_t sensors = registers_.get(reg::kPaperSensorConfig);
    const uint8_t pins = registers_.get(reg::kMiscIo12);
    return consume ? inputs_.read(sensors, pins) : inputs_.peek(sensors, pins);
}

uint8_t VirtualScanner::readRegister(uint8_t address) {
    switch (address) {
        case reg::kDataPort: {
            uint8_t byte = 0;
            if (buffer_.pop({&byte, 1}) == 1) sequencer_.bufferDrained(now());
            return byte;
        }
        case reg::kStatus: return statusRegisterValue(true);
        case reg::kMemoryData: {
            bool inside = false;
            return memory_.read(inside);
        }
        default: return peekRegister(address);
    }
}

uint8_t VirtualScanner::peekRegister(uint8_t address) {
    std::lock_guard guard(mutex_);
    switch (address & 0x7F) {
        case reg::kDataPort: return 0;
        case reg::kDataCounter: return buffer_.counterUnits();
        case reg::kStatus: return statusRegisterValue(false);
        case reg::kMemorySelect:
            // Bit 4 reads whether the scan engine has stopped acquiring (ended, or paused).
            return static_cast<uint8_t>((registers_.get(reg::kMemorySelect) & ~bits::kEngineStopped) |
                                        (sequencer_.engineStopped() ? bits::kEngineStopped : 0));
        case reg::kMemoryAddressHigh: return memory_.addressHigh();
        case reg::kMemoryAddressLow: return memory_.addressLow();
        case reg::kMemoryData: return 0;
        case reg::kCommand: {
            const bool stuck = faults_.commandStuck(msSinceStart(now()));
            return static_cast<uint8_t>(sequencer_.command() | (stuck ? 0x80 : 0));
        }
        case reg::kVersion: return config_.chip == Chip::LM9831 ? 3 : 4;
        default: return registers_.get(address);
    }
}

bool VirtualScanner::readDataPort(std::span<uint8_t> out, std::size_t& received) {
    received = 0;
    if (faults_.dataPortStalls(msSinceStart(now()))) {
        ++log_.counters.stalledReads;
        clock_->sleep(config_.usb.timeoutMs);
        return false;
    }
    const Ticks deadline = now() + MicrosecondsToTicks(uint64_t{config_.usb.timeoutMs} * 1000);
    for (;;) {
        syncTo(now());
        const std::size_t n = buffer_.pop(out.subspan(received));
        received += n;
        if (n > 0) sequencer_.bufferDrained(now());
        if (received == out.size() || !sequencer_.acquiring()) return true;
        // Wait, in virtual time, for the next line the engine stores.
        const auto next = sequencer_.nextLineStoredAt();
        if (!next) return true;
        if (*next > deadline) {
            advanceClockTo(deadline);
            syncTo(now());
            return false;
        }
        advanceClockTo(*next);
    }
}

void VirtualScanner::protocolError(const std::string& text) {
    log_.protocolErrors.push_back({clock_->microseconds(), transferNumber_, text});
}

// ---- USB function ----

void VirtualScanner::chargeTransfer(std::size_t bytes) {
    const auto busMicros = static_cast<uint64_t>(std::ceil(static_cast<double>(bytes) * 1e6 / config_.usb.bytesPerSecond));
    clock_->advanceMicroseconds(std::max<uint64_t>(config_.usb.frameMicros, busMicros));
}

bool VirtualScanner::bulkOut(std::span<const uint8_t> data) {
    std::lock_guard guard(mutex_);
    ++transferNumber_;
    ++log_.counters.transfersOut;
    const TransferFate fate = faults_.transfer(TransferDirection::Out, msSinceStart(now()));
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
        front_.bulkOut(data.first(data.size() / 2));
        log_.counters.bytesOut += data.size() / 2;
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
    const TransferFate fate = faults_.transfer(TransferDirection::In, msSinceStart(now()));
    if (faults_.disconnected(msSinceStart(now()))) {
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
    const bool ok = front_.bulkIn(isShort ? buffer.first(buffer.size() / 2) : buffer, received);
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

void VirtualScanner::addFault(const FaultSpec& fault) {
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
