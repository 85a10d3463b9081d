// The campaign's figures: runs per variant and how they came out, violations by kind and by the
// export the fault struck in, the texts failed runs left for the client, and examples.
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/campaign/campaign_plan.h"
#include "tests/campaign/run_verdict.h"

namespace ordavel::campaign {

struct RunReport {
    PlannedRun run;
    Verdict verdict;
    std::string call;      // the export the fault struck in (from the clean run)
    std::string transfer;  // what that transfer carried in the clean run
    std::string errors;    // the run's standard error when a sanitizer or crash ended it
};

class Figures {
public:
    void add(const RunReport& report);
    std::size_t runs() const { return runs_; }
    std::size_t violating() const { return violating_; }
    // Runs that showed `kind`.
    std::size_t showing(Violation kind) const { return byKind_[static_cast<std::size_t>(kind)]; }
    // `examples`: violating runs shown per kind.
    void print(std::FILE* out, std::size_t examples) const;

private:
    struct Counts {
        std::size_t runs = 0, recovered = 0, elsewhere = 0, failedCleanly = 0, violating = 0, followedUp = 0;
    };
    std::map<Variant, Counts> byVariant_;
    std::array<std::size_t, kViolationKinds> byKind_{};
    std::map<std::string, Counts> byCall_;
    std::map<std::string, std::size_t> causes_;  // text read after a failed export -> runs
    std::array<std::vector<RunReport>, kViolationKinds> examples_;
    std::string firstSanitizerReport_;
    std::size_t runs_ = 0, violating_ = 0;
};

}  // namespace ordavel::campaign
