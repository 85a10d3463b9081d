// What the campaign injects and where: the fault variants, the fault each puts at transfer N,
// and the list of runs (variant, N) in the order they run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "virtual/fault.h"

namespace ordavel::campaign {

enum class Variant {
    Once,   // transfer N fails, once
    Short,  // transfer N carries half its bytes
    Empty,  // answer N (counting answers only) comes back with no bytes
    Burst,  // transfer N and the 19 after it fail: every retry of the operation runs out
    Dead,   // the device is gone from transfer N on
};

inline constexpr Variant kAllVariants[] = {Variant::Once, Variant::Short, Variant::Empty, Variant::Burst, Variant::Dead};

const char* VariantName(Variant v);
const char* VariantMeaning(Variant v);
// "once" -> Variant::Once; false for an unknown name.
bool ParseVariant(const std::string& name, Variant& v);
// True when N counts answers (IN transfers) only.
bool CountsAnswers(Variant v);
// The fault that puts `v` at transfer (or answer) `n`, 1-based.
virtual_scanner::Fault FaultFor(Variant v, uint64_t n);

struct PlannedRun {
    Variant variant = Variant::Once;
    uint64_t n = 0;
};

struct PlanOptions {
    std::vector<Variant> variants;
    uint64_t stride = 1;        // every stride-th transfer, from a seeded offset
    uint64_t samplePerVariant = 0;  // at most this many of those per variant, chosen by the seed (0: all)
    std::vector<uint64_t> at;   // only these transfers (overrides stride and sample)
    uint64_t seed = 1;
};

// The runs for a cycle of `transfers` transfers of which `answers` are IN transfers, shuffled
// by the seed so that any first part of the list is an even sample of all of it.
std::vector<PlannedRun> PlanRuns(const PlanOptions& options, uint64_t transfers, uint64_t answers);

}  // namespace ordavel::campaign
