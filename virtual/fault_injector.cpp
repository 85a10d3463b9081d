// Fault triggers and their effects on transfers, inputs and sheets.
#include "virtual/fault_injector.h"

#include <memory>

#include "virtual/page.h"

namespace ordavel::virtual_scanner {

FaultInjector::FaultInjector(const std::vector<Fault>& faults, uint64_t seed) : rng_(seed) {
    for (const Fault& f : faults) add(f);
}

bool FaultInjector::isTransferFault(FaultType type) {
    return type == FaultType::FailTransfer || type == FaultType::ShortTransfer;
}

// Faults with neither a count, a chance nor a position trigger start at their time, or at once.
void FaultInjector::arm(Running& r) const {
    const Fault& s = r.fault;
    if (r.fault.type == FaultType::StallDataPort && s.transfer > 0) return;
    if (isTransferFault(s.type) || s.atPosition || (s.type == FaultType::Disconnect && s.transfer > 0)) {
        if (s.atMs) r.fromMs = s.atMs;
        return;
    }
    r.fromMs = s.atMs.value_or(0);
}

void FaultInjector::add(const Fault& fault) {
    Running r{fault};
    arm(r);
    faults_.push_back(r);
}

bool FaultInjector::activeAt(const Running& r, uint64_t nowMs) const {
    if (!r.fromMs || nowMs < *r.fromMs) return false;
    return !r.fault.durationMs || nowMs < *r.fromMs + *r.fault.durationMs;
}

void ApplySheetFault(const Fault& s, Sheet& sheet, Sheet* next, const PathConfig& path, float blankReflectance) {
    switch (s.type) {
        case FaultType::Jam: sheet.jamAt = s.atPosition.value_or(path.scanLine); break;
        case FaultType::SheetLength:
            if (s.lengthInches > 0) {
                sheet.page = std::make_shared<ResizedPage>(sheet.page, s.lengthInches, blankReflectance);
                sheet.lengthSteps = s.lengthInches * path.stepsPerInch;
            }
            break;
        case FaultType::DoublePick:
            // The next sheet sticks to this one and comes along with it.
            if (next && next->state == SheetState::InTray) next->pickedBehind = s.overlapSteps;
            break;
        default: break;
    }
}

void FaultInjector::shapeSheets(std::vector<Sheet>& sheets, const PathConfig& path, float blankReflectance) const {
    for (const Running& r : faults_) {
        const Fault& s = r.fault;
        if (s.sheet < 1 || static_cast<std::size_t>(s.sheet) > sheets.size()) continue;
        const auto index = static_cast<std::size_t>(s.sheet - 1);
        Sheet* next = index + 1 < sheets.size() ? &sheets[index + 1] : nullptr;
        ApplySheetFault(s, sheets[index], next, path, blankReflectance);
    }
}

TransferFate FaultInjector::transfer(TransferDirection direction, uint64_t nowMs, double* keptShare) {
    TransferFate fate = TransferFate::Normal;
    for (Running& r : faults_) {
        const Fault& s = r.fault;
        const bool matches = s.direction == TransferDirection::Any || s.direction == direction;
        if (s.type == FaultType::Disconnect && s.transfer > 0 && matches && !r.fromMs) {
            if (++r.counted >= s.transfer) r.fromMs = nowMs;
            continue;
        }
        if (!isTransferFault(s.type) || !matches) continue;
        ++r.counted;
        bool strike = false;
        if (s.transfer > 0 && r.counted >= s.transfer && moreStrikes(r)) strike = true;
        if (s.probability > 0 && moreStrikes(r) && std::uniform_real_distribution<double>(0, 1)(rng_) < s.probability) {
            strike = true;
        }
        if (s.atMs && activeAt(r, nowMs) && moreStrikes(r)) strike = true;
        if (!strike) continue;
        ++r.strikes;
        if (fate == TransferFate::Normal || s.type == FaultType::FailTransfer) {
            fate = s.type == FaultType::FailTransfer ? TransferFate::Fail : TransferFate::Short;
            if (fate == TransferFate::Short && keptShare != nullptr) *keptShare = s.keptShare;
        }
    }
    return fate;
}

bool FaultInjector::dataPortStalls(uint64_t nowMs) {
    bool stalls = false;
    for (Running& r : faults_) {
        if (r.fault.type != FaultType::StallDataPort) continue;
        ++r.counted;
        if (r.fault.transfer > 0) {
            if (r.counted >= r.fault.transfer && moreStrikes(r)) {
                ++r.strikes;
                stalls = true;
            }
        } else if (activeAt(r, nowMs)) {
            stalls = true;
        }
    }
    return stalls;
}

bool FaultInjector::disconnected(uint64_t nowMs) const {
    for (const Running& r : faults_) {
        if (r.fault.type == FaultType::Disconnect && activeAt(r, nowMs)) return true;
    }
    return false;
}

bool FaultInjector::commandStuck(uint64_t nowMs) const {
    for (const Running& r : faults_) {
        if (r.fault.type == FaultType::StuckCommand && activeAt(r, nowMs)) return true;
    }
    return false;
}

bool FaultInjector::coverOpen(uint64_t nowMs) const {
    for (const Running& r : faults_) {
        if (r.fault.type == FaultType::CoverOpen && activeAt(r, nowMs)) return true;
    }
    return false;
}

std::optional<bool> FaultInjector::stuckInput(InputId input, uint64_t nowMs) const {
    for (const Running& r : faults_) {
        if (r.fault.type == FaultType::StuckSensor && r.fault.input == input && activeAt(r, nowMs)) {
            return r.fault.stuckActive;
        }
    }
    return std::nullopt;
}

void FaultInjector::updatePaperPath(PaperPath& path, uint64_t nowMs) {
    for (Running& r : faults_) {
        const Fault& s = r.fault;
        if (s.type != FaultType::CoverOpen && s.type != FaultType::EmptyFeeder) continue;
        if (!r.fromMs && s.atPosition) {
            const Sheet* sheet = path.sheet(s.sheet);
            if (sheet && sheet->state != SheetState::InTray && sheet->lead >= *s.atPosition) r.fromMs = nowMs;
        }
        if (s.type == FaultType::EmptyFeeder && !r.done && activeAt(r, nowMs)) {
            path.removeTraySheets();
            r.done = true;
        }
    }
}

}  // namespace ordavel::virtual_scanner
