// The command timeline: moves, the skip, line clocking, pauses and the scan's own end.
#include "virtual/sequencer.h"

#include <algorithm>

namespace ordavel::virtual_scanner {

void Sequencer::write(uint8_t value, Ticks now) {
    // Any write ends what was running; a scan the host stops leaves its data readable.
    if (kind_ != Kind::Idle) finish(CommandEnd::Host);
    command_ = value;
    start_ = now;
    active_ = 0;
    pausedTotal_ = 0;
    paused_ = false;
    steps_ = 0;
    stepLimit_.reset();
    endAtStep_.reset();
    endBySensor_ = false;
    const Timing timing = ComputeTiming(registers_);
    fastStep_ = timing.fastStepPeriod;
    direction_ = (registers_.get(reg::kMotorConfig) & bits::kMotorReverse) ? -1 : 1;

    switch (value) {
        case command::kFeed: kind_ = Kind::Move; break;
        case command::kMove:
            kind_ = Kind::Move;
            stepLimit_ = registers_.word(reg::kSkipStepsHigh);
            break;
        case command::kScan: kind_ = Kind::Scan; break;
        default: kind_ = Kind::Idle; break;  // idle, programming, or a value with no action: held
    }
    host_.commandStarted(value, kind_ != Kind::Idle, now);
    if (kind_ == Kind::Scan) startScan(now);
    if (stepLimit_ && *stepLimit_ == 0) finish(CommandEnd::MoveDone);
}

void Sequencer::startScan(Ticks now) {
    engineStopped_ = false;
    buffer_.clear();
    settings_ = LatchScanSettings(registers_);
    skip_ = settings_.skipSteps;
    scanStart_ = static_cast<Ticks>(skip_) * fastStep_;
    lineIndex_ = 0;
    linePhase_ = LinePhase::Waiting;
    line_.assign(settings_.lineBytes, 0);
    // With no stop-scan sensor the stop count runs from the first line.
    const bool stopSensor = settings_.stopOnSensor1 || settings_.stopOnSensor2;
    if (!stopSensor && settings_.stopSteps != 0) {
        endAtStep_ = skip_ + settings_.stopSteps;
        endBySensor_ = false;
    }
    host_.scanStarting(settings_, now);
}

std::optional<Ticks> Sequencer::nextStepAt() const {
    if (kind_ == Kind::Move) {
        if (stepLimit_ && steps_ >= *stepLimit_) return std::nullopt;
        return static_cast<Ticks>(steps_ + 1) * fastStep_;
    }
    if (kind_ == Kind::Scan) {
        if (steps_ < skip_) return static_cast<Ticks>(steps_ + 1) * fastStep_;
        return scanStart_ + static_cast<Ticks>(steps_ - skip_ + 1) * settings_.timing.scanStepPeriod;
    }
    return std::nullopt;
}

std::optional<Sequencer::Next> Sequencer::nextEvent() const {
    std::optional<Next> best;
    auto consider = [&](Ticks at, Event event) {
        if (!best || at < best->at || (at == best->at && event < best->event)) best = Next{at, event};
    };
    if (auto step = nextStepAt()) consider(*step, Event::Step);
    if (kind_ == Kind::Scan) {
        const Ticks begin = lineBeginAt(lineIndex_);
        const Ticks period = settings_.timing.linePeriod;
        switch (linePhase_) {
            case LinePhase::Waiting: consider(begin, Event::LineBegin); break;
            case LinePhase::Exposing: consider(begin + period / 2, Event::LineMiddle); break;
            case LinePhase::Exposed: consider(begin + period, Event::LineEnd); break;
        }
    }
    return best;
}

void Sequencer::advanceTo(Ticks now) {
    while (kind_ != Kind::Idle && !paused_) {
        const Ticks limit = now >= start_ + pausedTotal_ ? now - start_ - pausedTotal_ : 0;
        const auto next = nextEvent();
        if (!next || next->at > limit) {
            active_ = std::max(active_, limit);
            return;
        }
        active_ = next->at;
        host_.reachTime(wallAt(active_));
        switch (next->event) {
            case Event::Step: step(); break;
            case Event::LineBegin: beginLine(); break;
            case Event::LineMiddle:
                host_.acquireLine(lineIndex_, line_.data(), wallAt(active_));
                linePhase_ = LinePhase::Exposed;
                break;
            case Event::LineEnd: storeLine(); break;
        }
    }
}

void Sequencer::step() {
    ++steps_;
    host_.motorStep(direction_, wallAt(active_));
    if (kind_ == Kind::Move) {
        if (stepLimit_ && steps_ >= *stepLimit_) finish(CommandEnd::MoveDone);
        return;
    }
    if (kind_ == Kind::Scan && endAtStep_ && steps_ >= *endAtStep_) {
        finish(endBySensor_ ? CommandEnd::StopSensor : CommandEnd::StopCount);
    }
}

// A stop-scan sensor ends the scan on any change, paper arriving or leaving; the first change
// arms the count and later ones do not restart it.
void Sequencer::inputsChanged(uint8_t changedSensors) {
    if (kind_ != Kind::Scan || endAtStep_) return;
    // Stop-scan bits are taken as they are when the sensor changes.
    const uint8_t config = registers_.get(reg::kPaperSensorConfig);
    const bool stop1 = (changedSensors & 0x01) && (config & bits::kSensorStopScan);
    const bool stop2 = (changedSensors & 0x02) && (config & (bits::kSensorStopScan << 3));
    if (!stop1 && !stop2) return;
    endAtStep_ = steps_ + settings_.stopSteps;
    endBySensor_ = true;
    // A stop count of zero ends the scan with the change itself.
    if (settings_.stopSteps == 0) finish(CommandEnd::StopSensor);
}

bool Sequencer::mustPause() const {
    const uint8_t limit = registers_.get(reg::kPauseLimit);
    if (buffer_.freeSpace() < settings_.lineBytes) return true;
    // A limit of 0 leaves only the full buffer to stop the motor.
    return limit != 0 && buffer_.units() >= limit;
}

void Sequencer::beginLine() {
    if (mustPause()) {
        paused_ = true;
        pausedSince_ = wallAt(active_);
        host_.pauseChanged(true, pausedSince_);
        return;
    }
    linePhase_ = LinePhase::Exposing;
}

void Sequencer::storeLine() {
    // The status word gives the buffer level, in units, with this line stored.
    const std::size_t level = (buffer_.size() + settings_.lineBytes) / buffer_.unitBytes();
    line_[settings_.dataBytes] = static_cast<uint8_t>(level >> 8);
    line_[settings_.dataBytes + 1] = static_cast<uint8_t>(level & 0xFF);
    buffer_.push(line_);
    host_.lineStored(lineIndex_, wallAt(active_));
    ++lineIndex_;
    linePhase_ = LinePhase::Waiting;
}

void Sequencer::bufferDrained(Ticks now) {
    if (!paused_) return;
    // Resume at or below the resume limit (see the header: a limit of 0 must still resume).
    if (buffer_.units() > registers_.get(reg::kResumeLimit) || buffer_.freeSpace() < settings_.lineBytes) return;
    pausedTotal_ += now - pausedSince_;
    paused_ = false;
    host_.pauseChanged(false, now);
}

std::optional<Ticks> Sequencer::nextLineStoredAt() const {
    if (kind_ != Kind::Scan || paused_) return std::nullopt;
    return wallAt(lineBeginAt(lineIndex_) + settings_.timing.linePeriod);
}

void Sequencer::finish(CommandEnd how) {
    const Ticks when = paused_ ? pausedSince_ : wallAt(active_);
    // Bit 4 of 0x03 reads 1 from the end of a scan, however it ended (a host stop included), until
    // the next scan starts.
    if (kind_ == Kind::Scan) engineStopped_ = true;
    if (paused_) host_.pauseChanged(false, when);
    paused_ = false;
    kind_ = Kind::Idle;
    const uint8_t ended = command_;
    if (how != CommandEnd::Host) command_ = command::kIdle;  // it returns to 0 by itself
    host_.commandEnded(ended, how, steps_, when);
}

}  // namespace ordavel::virtual_scanner
