// What can be made to go wrong, and when: the fault descriptions shared by the configuration file
// and the scripting interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ordavel::virtual_scanner {

enum class FaultType {
    FailTransfer,   // a bulk transfer fails (nothing reaches the chip, nothing comes back)
    ShortTransfer,  // a bulk transfer moves only part of its bytes
    StallDataPort,  // reads of the image data port wait for the timeout and fail
    Disconnect,     // the device vanishes from the bus
    StuckCommand,   // register 0x07 never reads back what was written (bit 7 stuck high)
    Jam,            // a sheet stops moving at a position
    CoverOpen,      // the cover is opened: rollers lift, the tray input reads "open"
    EmptyFeeder,    // the sheets still in the tray are taken away
    SheetLength,    // a sheet is shorter or longer than its page (cut, or blank paper added)
    DoublePick,     // a sheet is picked together with the one after it
    StuckSensor,    // a paper sensor or the tray input is stuck on or off
};

enum class TransferDirection { Any, Out, In };
enum class InputId { PaperSensor1, PaperSensor2, Tray };

struct Fault {
    FaultType type = FaultType::FailTransfer;

    // Transfer faults: strike at the Nth transfer of `direction` (1-based; 0 = no count trigger),
    // or on each transfer with `probability`; `repeat` strikes in all (0 = no limit). For a stalled
    // data port, N counts data-port reads.
    TransferDirection direction = TransferDirection::Any;
    uint64_t transfer = 0;
    double probability = 0;
    uint32_t repeat = 1;

    // Time trigger in virtual milliseconds since the device was made, and how long the fault lasts
    // (absent: for good). Used by disconnect, stall, stuck command, cover, empty feeder and stuck input.
    std::optional<uint64_t> atMs;
    std::optional<uint64_t> durationMs;

    // Position trigger: when the leading edge of sheet `sheet` (1-based) reaches `atPosition` full
    // steps along the path. Used by jam (where the sheet stops), cover and empty feeder.
    int sheet = 0;
    std::optional<double> atPosition;

    InputId input = InputId::PaperSensor1;  // stuck input
    bool stuckActive = true;                // stuck on (paper seen / tray empty) or off
    double lengthInches = 0;                // sheet length
    double overlapSteps = 40;               // double pick: how far the second sheet trails the first
    double keptShare = 0.5;                 // short transfer: the share of its bytes that gets through
};

// "Jam" -> FaultType::Jam and so on; false for an unknown name.
bool ParseFaultType(const std::string& name, FaultType& type);
const char* FaultTypeName(FaultType type);

}  // namespace ordavel::virtual_scanner
