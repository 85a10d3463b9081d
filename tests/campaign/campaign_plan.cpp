// Variants and the seeded run order.
#include "tests/campaign/campaign_plan.h"

#include <algorithm>
#include <random>

namespace ordavel::campaign {

namespace {
struct VariantText {
    Variant variant;
    const char* name;
    const char* meaning;
};
constexpr VariantText kTexts[] = {
    {Variant::Once, "once", "transfer N fails once"},
    {Variant::Short, "short", "transfer N carries half its bytes"},
    {Variant::Empty, "empty", "answer N comes back with no bytes"},
    {Variant::Burst, "burst", "transfer N and the next 19 fail"},
    {Variant::Dead, "dead", "the device is gone from transfer N on"},
};
}  // namespace

const char* VariantName(Variant v) {
    for (const auto& t : kTexts) {
        if (t.variant == v) return t.name;
    }
    return "?";
}

const char* VariantMeaning(Variant v) {
    for (const auto& t : kTexts) {
        if (t.variant == v) return t.meaning;
    }
    return "?";
}

bool ParseVariant(const std::string& name, Variant& v) {
    for (const auto& t : kTexts) {
        if (name == t.name) {
            v = t.variant;
            return true;
        }
    }
    return false;
}

bool CountsAnswers(Variant v) { return v == Variant::Empty; }

virtual_scanner::Fault FaultFor(Variant v, uint64_t n) {
    using virtual_scanner::FaultType;
    virtual_scanner::Fault f;
    f.transfer = n;
    f.repeat = 1;
    switch (v) {
        case Variant::Once: f.type = FaultType::FailTransfer; break;
        case Variant::Short: f.type = FaultType::ShortTransfer; break;
        case Variant::Empty:
            f.type = FaultType::ShortTransfer;
            f.direction = virtual_scanner::TransferDirection::In;
            f.keptShare = 0;
            break;
        case Variant::Burst:
            // A register read is two transfers per attempt and ten attempts: twenty failures in a
            // row exhaust the retries of any one operation.
            f.type = FaultType::FailTransfer;
            f.repeat = 20;
            break;
        case Variant::Dead: f.type = FaultType::Disconnect; break;
    }
    return f;
}

std::vector<PlannedRun> PlanRuns(const PlanOptions& options, uint64_t transfers, uint64_t answers) {
    std::mt19937_64 rng(options.seed);
    std::vector<PlannedRun> runs;
    for (Variant v : options.variants) {
        const uint64_t last = CountsAnswers(v) ? answers : transfers;
        std::vector<PlannedRun> mine;
        if (!options.at.empty()) {
            for (uint64_t n : options.at) {
                if (n >= 1 && n <= last) mine.push_back({v, n});
            }
        } else {
            const uint64_t stride = std::max<uint64_t>(1, options.stride);
            const uint64_t first = 1 + rng() % stride;
            for (uint64_t n = first; n <= last; n += stride) mine.push_back({v, n});
            if (options.samplePerVariant > 0 && mine.size() > options.samplePerVariant) {
                std::shuffle(mine.begin(), mine.end(), rng);
                mine.resize(options.samplePerVariant);
            }
        }
        runs.insert(runs.end(), mine.begin(), mine.end());
    }
    std::shuffle(runs.begin(), runs.end(), rng);
    return runs;
}

}  // namespace ordavel::campaign
