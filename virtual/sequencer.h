// The controller's command sequencer: what register 0x07 sets going, on a timeline. Moves step the
// motor at the fast-feed rate; a scan skips its 0x4A/0x4B steps at that rate, then steps at the
// scan rate while clocking lines into the image buffer. Everything is a function of virtual time
// since the command: advanceTo() replays the steps and lines up to a moment, in time order.
//
// Active time excludes pauses: when a line is due to start while the buffer holds 0x4E units or
// more (or has no room for the line), motor and lines freeze; they resume once the host has
// drained the buffer to 0x4F units or fewer, continuing with that same line, so a pause neither
// loses nor repeats one.
//
// Decided where the chip's documentation is silent: the skip before a scan runs at the fast-feed
// rate; the pause is an ideal freeze (no deceleration, no reverse steps or extra lines from
// 0x50–0x55, no acceleration ramps from 0x51); the resume threshold is "at or below 0x4F" rather
// than "below", since drivers write 0x4F = 0 and "below 0" would never resume; the stop count and
// the stop-scan sensors work alike on all three chips.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "virtual/image_buffer.h"
#include "virtual/register_map.h"
#include "virtual/scan_settings.h"
#include "virtual/timebase.h"

namespace ordavel::virtual_scanner {

enum class CommandEnd { Host, MoveDone, StopCount, StopSensor };

// What the sequencer needs from the rest of the device.
class SequencerHost {
public:
    virtual ~SequencerHost() = default;
    // Time-triggered happenings up to `when` (faults); called before each event.
    virtual void reachTime(Ticks when) = 0;
    // One full step of the motor (the device decides whether paper moves).
    virtual void motorStep(int direction, Ticks when) = 0;
    virtual void commandStarted(uint8_t command, bool motorRuns, Ticks when) = 0;
    virtual void scanStarting(const ScanSettings& settings, Ticks when) = 0;
    // Exposes line `index` now, writing settings.dataBytes bytes.
    virtual void acquireLine(uint64_t index, uint8_t* out, Ticks when) = 0;
    virtual void lineStored(uint64_t index, Ticks when) = 0;
    virtual void pauseChanged(bool paused, Ticks when) = 0;
    virtual void commandEnded(uint8_t command, CommandEnd how, int64_t steps, Ticks when) = 0;
};

class Sequencer {
public:
    Sequencer(const RegisterFile& registers, ImageBuffer& buffer, SequencerHost& host)
        : registers_(registers), buffer_(buffer), host_(host) {}

    // A host write of register 0x07 at `now` (the timeline must have been advanced to `now`).
    void write(uint8_t value, Ticks now);
    void advanceTo(Ticks now);
    // The host took data out of the buffer at `now`: resume a pause if the buffer is low enough.
    void bufferDrained(Ticks now);
    // A paper sensor input changed (bit 0 sensor 1, bit 1 sensor 2); may arm the scan's end.
    void inputsChanged(uint8_t changedSensors);

    uint8_t command() const { return command_; }
    bool engineStopped() const { return engineStopped_ || paused_; }
    bool acquiring() const { return kind_ == Kind::Scan; }
    bool paused() const { return paused_; }
    bool motorRunning() const { return kind_ == Kind::Move || kind_ == Kind::Scan; }
    // When the next line will be in the buffer, if a scan is under way and not paused.
    std::optional<Ticks> nextLineStoredAt() const;
    uint64_t linesStored() const { return lineIndex_; }
    int64_t stepsThisCommand() const { return steps_; }
    const ScanSettings& settings() const { return settings_; }

private:
    enum class Kind { Idle, Move, Scan };
    enum class Event { LineEnd, Step, LineBegin, LineMiddle };  // tie order at equal times
    struct Next {
        Ticks at;
        Event event;
    };

    std::optional<Next> nextEvent() const;
    std::optional<Ticks> nextStepAt() const;
    Ticks lineBeginAt(uint64_t index) const { return scanStart_ + index * settings_.timing.linePeriod; }
    Ticks wallAt(Ticks active) const { return start_ + active + pausedTotal_; }
    void startScan(Ticks now);
    void step();
    void beginLine();
    void storeLine();
    bool mustPause() const;
    void finish(CommandEnd how);

    const RegisterFile& registers_;
    ImageBuffer& buffer_;
    SequencerHost& host_;

    uint8_t command_ = 0;
    Kind kind_ = Kind::Idle;
    bool engineStopped_ = false;
    Ticks start_ = 0;        // wall time of the command
    Ticks active_ = 0;       // active time replayed so far
    Ticks pausedTotal_ = 0;  // wall time spent paused
    bool paused_ = false;
    Ticks pausedSince_ = 0;
    int direction_ = 1;
    int64_t steps_ = 0;                   // full steps made by this command
    std::optional<int64_t> stepLimit_;    // a move's length
    Ticks fastStep_ = 0;

    ScanSettings settings_;
    int64_t skip_ = 0;
    Ticks scanStart_ = 0;                 // active time of the first line
    std::optional<int64_t> endAtStep_;    // the scan ends after this many steps of the command
    bool endBySensor_ = false;
    uint64_t lineIndex_ = 0;              // next line to begin
    enum class LinePhase { Waiting, Exposing, Exposed } linePhase_ = LinePhase::Waiting;
    std::vector<uint8_t> line_;
};

}  // namespace ordavel::virtual_scanner
