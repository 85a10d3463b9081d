// The device's physical side as the sequencer drives it: motor steps moving the paper, the
// sensor inputs following the sheets and faults, lines acquired from the paper under the scan line,
// and the record of motor runs and scans.
#include "virtual/virtual_scanner.h"

namespace ordavel::virtual_scanner {

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

}  // namespace ordavel::virtual_scanner
