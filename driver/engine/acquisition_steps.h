// The steps of the acquisition state machine, shared by the files that implement them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace ordavel {
class DriverContext;
}

namespace ordavel::engine::acquisition {

// Opens a scan for the engine's current work file (no scan open, read mode).
bool Open(DriverContext& ctx, int32_t& done);
// One read step of the open scan.
bool ReadStep(DriverContext& ctx, int32_t& done);
// Closes the open scan; `stopRequest` when the caller asked for it (the controller is then
// stopped as after an error).
bool Finish(DriverContext& ctx, int32_t& done, bool stopRequest);

// Three samples of the data counter (register 0x01) in one transfer.
bool ReadCounterSamples(DriverContext& ctx, std::array<uint8_t, 3>& samples);
// The availability poll: a counter sample (in memory units, or 228 once both the data-expected
// and motor-running flags are clear); nullopt after a register failure.
std::optional<int32_t> PollAvailability(DriverContext& ctx, int32_t pageKiB);
// Bytes wanted after sample `v` (updates the data-expected and motor-running flags); capped
// at the ring's size.
void TakeSample(DriverContext& ctx, int32_t v);

// Moves the wanted bytes from the controller (white once it has nothing more to give) through
// the transfer ring into the work buffer; false after a transfer failure.
bool TransferWantedBytes(DriverContext& ctx, int32_t remaining);
// Hands the work buffer's data on: whole controller lines to the line output (sheet scans),
// dropped (probe) or appended to the work file (other jobs).
void HandOnBufferedData(DriverContext& ctx);
// Continues a delivery that a full destination interrupted.
void DeliverBufferedLines(DriverContext& ctx);

// Whether the job returns after every chunk (calibration scans) or keeps reading (sheet, probe).
bool ReturnsAfterEachChunk(const DriverContext& ctx);

}  // namespace ordavel::engine::acquisition
