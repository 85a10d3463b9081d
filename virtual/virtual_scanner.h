// One virtual scanner: the controller with its registers, table memory, image buffer and command
// sequencer, the sensor and front end, the paper path with its sheets, faults and the record of
// what happened. The model runs lazily on the shared virtual clock: whenever someone looks (a
// transfer, an observation), it first replays everything up to the clock's current time.
//
// The USB function (bulkOut/bulkIn) is what every transport carries; it charges the clock what
// full-speed USB would take and applies transfer faults before the framing sees the bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "virtual/cis_sensor.h"
#include "virtual/controller_memory.h"
#include "virtual/device_lock.h"
#include "virtual/fault_injector.h"
#include "virtual/image_buffer.h"
#include "virtual/line_renderer.h"
#include "virtual/observation.h"
#include "virtual/paper_path.h"
#include "virtual/pipe_front.h"
#include "virtual/register_map.h"
#include "virtual/scanner_config.h"
#include "virtual/sensor_inputs.h"
#include "virtual/sequencer.h"

namespace ordavel::virtual_scanner {

class VirtualScanner final : private ControllerPort, private SequencerHost {
public:
    // Null, with `error` saying why, when a sheet's page cannot be made.
    static std::shared_ptr<VirtualScanner> Create(const ScannerConfig& config,
                                                  std::shared_ptr<platform::VirtualClock> clock, std::string& error);
    VirtualScanner(const VirtualScanner&) = delete;
    VirtualScanner& operator=(const VirtualScanner&) = delete;
    ~VirtualScanner() override;

    const ScannerConfig& config() const { return config_; }
    platform::VirtualClock& clock() { return *clock_; }

    // The USB function: bulk OUT (endpoint 0x03) and bulk IN (0x82). False when the transfer
    // failed; a short IN transfer succeeds with fewer bytes.
    bool bulkOut(std::span<const uint8_t> data);
    bool bulkIn(std::span<uint8_t> buffer, std::size_t& received);
    // False while the device is disconnected.
    bool present();
    DeviceLock& deviceLock() { return lock_; }
    void noteLockTimeout();

    void addFault(const Fault& fault);

    // Observation; each brings the model up to the clock first.
    const Observations& observations();
    std::vector<Sheet> sheets();
    LineTruth underScanLine();
    std::shared_ptr<const Page> sheetPage(int number);
    // The value a read of the register would give now, without the read's side effects (the
    // data port shows the buffer's next byte, or 0).
    uint8_t peekRegister(uint8_t address);
    InputLevels inputLevels();
    int64_t motorPosition();  // signed full steps the motor made since power-up
    std::size_t bufferedBytes();
    const CisSensor& sensor() const { return sensor_; }
    void sync();

private:
    VirtualScanner(const ScannerConfig& config, std::shared_ptr<platform::VirtualClock> clock,
                   std::vector<Sheet> sheets);

    // ControllerPort
    void writeRegister(uint8_t address, uint8_t value) override;
    uint8_t readRegister(uint8_t address) override;
    bool readDataPort(std::span<uint8_t> out, std::size_t& received) override;
    void protocolError(const std::string& text) override;

    // SequencerHost
    void reachTime(Ticks when) override;
    void motorStep(int direction, Ticks when) override;
    void commandStarted(uint8_t command, bool motorRuns, Ticks when) override;
    void scanStarting(const ScanSettings& settings, Ticks when) override;
    void acquireLine(uint64_t index, uint8_t* out, Ticks when) override;
    void lineStored(uint64_t index, Ticks when) override;
    void pauseChanged(bool paused, Ticks when) override;
    void commandEnded(uint8_t command, CommandEnd how, int64_t steps, Ticks when) override;

    Ticks now() const { return MicrosecondsToTicks(clock_->microseconds()); }
    uint64_t msSinceStart(Ticks when) const;
    void syncTo(Ticks when);
    void advanceClockTo(Ticks when);
    void chargeTransfer(std::size_t bytes);
    void refreshInputs(Ticks when);
    InputLevels currentLevels(Ticks when) const;
    void logMemoryWrite();
    uint8_t statusRegisterValue(bool consume);

    ScannerConfig config_;
    std::shared_ptr<platform::VirtualClock> clock_;
    uint64_t startUs_;
    std::recursive_mutex mutex_;
    DeviceLock lock_;

    RegisterFile registers_;
    ControllerMemory memory_;
    ImageBuffer buffer_;
    SensorInputs inputs_;
    FaultInjector faults_;
    PaperPath paper_;
    CisSensor sensor_;
    LineRenderer renderer_;
    Sequencer sequencer_;
    PipeFront front_;

    Observations log_;
    uint64_t transferNumber_ = 0;
    uint64_t memoryWriteTransfer_ = 0;
    int64_t motorPosition_ = 0;
    LineTruth pendingTruth_;
};

// The sheets of a configuration with their pages made; false with `error` when a page cannot be.
bool MakeSheets(const ScannerConfig& config, std::vector<Sheet>& sheets, std::string& error);

}  // namespace ordavel::virtual_scanner
