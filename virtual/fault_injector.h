// Faults on a schedule: transfer faults by count or seeded chance, device faults by time, and
// paper-path faults by time or by where a sheet has got to.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "virtual/fault.h"
#include "virtual/paper_path.h"

namespace ordavel::virtual_scanner {

enum class TransferFate { Normal, Fail, Short };

// Applies a sheet fault to `sheet` (and `next`, the sheet after it, for a double pick). A jam with
// no position stops the sheet as its leading edge reaches the scan line.
void ApplySheetFault(const Fault& fault, Sheet& sheet, Sheet* next, const PathConfig& path, float blankReflectance);

class FaultInjector {
public:
    FaultInjector(const std::vector<Fault>& faults, uint64_t seed);

    void add(const Fault& fault);
    // Sheet faults known before anything moves: jams, lengths, double picks.
    // Sheet faults (jams, lengths, double picks) applied to sheets that have not moved yet.
    void shapeSheets(std::vector<Sheet>& sheets, const PathConfig& path, float blankReflectance) const;

    // Counts one bulk transfer at `nowMs` and says what becomes of it; for a short transfer,
    // `keptShare` (if given) receives the share of its bytes that gets through. A disconnect that
    // a transfer count triggers starts with that transfer.
    TransferFate transfer(TransferDirection direction, uint64_t nowMs, double* keptShare = nullptr);
    // Counts one read of the data port; true when it stalls.
    bool dataPortStalls(uint64_t nowMs);

    bool disconnected(uint64_t nowMs) const;
    bool commandStuck(uint64_t nowMs) const;
    bool coverOpen(uint64_t nowMs) const;
    // The level an input is stuck at, if it is.
    std::optional<bool> stuckInput(InputId input, uint64_t nowMs) const;

    // Position- and time-triggered paper-path faults up to `nowMs`: opens the cover, empties the
    // tray. Call after the sheets moved and as time passes.
    void updatePaperPath(PaperPath& path, uint64_t nowMs);

private:
    struct Running {
        Fault fault;
        uint64_t counted = 0;  // transfers (or data-port reads) seen
        uint64_t strikes = 0;
        std::optional<uint64_t> fromMs;  // active window once triggered
        bool done = false;               // one-shot actions taken
    };

    static bool isTransferFault(FaultType type);
    bool activeAt(const Running& r, uint64_t nowMs) const;
    bool moreStrikes(const Running& r) const { return r.fault.repeat == 0 || r.strikes < r.fault.repeat; }
    void arm(Running& r) const;

    std::vector<Running> faults_;
    std::mt19937_64 rng_;
};

}  // namespace ordavel::virtual_scanner
