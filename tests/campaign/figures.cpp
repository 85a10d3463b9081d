// Printing the figures table.
#include "tests/campaign/figures.h"

#include <algorithm>

namespace ordavel::campaign {

namespace {
constexpr std::size_t kExamplesKept = 20;

double Percent(std::size_t part, std::size_t whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; }
}  // namespace

void Figures::add(const RunReport& r) {
    ++runs_;
    const Verdict& v = r.verdict;
    for (Counts* c : {&byVariant_[r.run.variant], &byCall_[r.call]}) {
        ++c->runs;
        if (v.outcome == Outcome::Recovered) ++c->recovered;
        if (v.outcome == Outcome::SheetElsewhere) ++c->elsewhere;
        if (v.outcome == Outcome::FailedCleanly) ++c->failedCleanly;
        if (v.outcome == Outcome::Violating) ++c->violating;
        if (v.followedUp) ++c->followedUp;
    }
    if (!v.failedCall.empty()) ++causes_[v.cause.empty() ? "(empty)" : v.cause];
    if (v.outcome != Outcome::Violating) return;
    ++violating_;
    std::array<bool, kViolationKinds> seen{};
    for (const auto& [kind, detail] : v.violations) {
        const auto k = static_cast<std::size_t>(kind);
        if (seen[k]) continue;
        seen[k] = true;
        ++byKind_[k];
        if (examples_[k].size() < kExamplesKept) examples_[k].push_back(r);
        if (kind == Violation::Sanitizer && firstSanitizerReport_.empty()) firstSanitizerReport_ = r.errors;
    }
}

void Figures::print(std::FILE* out, std::size_t examples) const {
    const char* row = "%-7s %-38s %6zu %10zu %9zu %8zu %10zu %9zu\n";
    std::fprintf(out, "\n%-7s %-38s %6s %10s %9s %8s %10s %9s\n", "variant", "injected", "runs", "recovered", "sheet",
                 "failed", "violating", "followed");
    std::fprintf(out, "%-7s %-38s %6s %10s %9s %8s %10s %9s\n", "", "", "", "exactly", "elsewhere", "cleanly", "", "up");
    Counts total;
    for (Variant v : kAllVariants) {
        const auto it = byVariant_.find(v);
        if (it == byVariant_.end()) continue;
        const Counts& c = it->second;
        std::fprintf(out, row, VariantName(v), VariantMeaning(v), c.runs, c.recovered, c.elsewhere, c.failedCleanly,
                     c.violating, c.followedUp);
        total.runs += c.runs;
        total.recovered += c.recovered;
        total.elsewhere += c.elsewhere;
        total.failedCleanly += c.failedCleanly;
        total.violating += c.violating;
        total.followedUp += c.followedUp;
    }
    std::fprintf(out, row, "all", "", total.runs, total.recovered, total.elsewhere, total.failedCleanly, total.violating,
                 total.followedUp);
    std::fprintf(out, "%-7s %-38s %6s %9.1f%% %8.1f%% %7.1f%% %9.1f%%\n", "", "", "", Percent(total.recovered, total.runs),
                 Percent(total.elsewhere, total.runs), Percent(total.failedCleanly, total.runs),
                 Percent(total.violating, total.runs));
    std::fprintf(out, "(sheet elsewhere: a retried poll let a feed run on, the sheet lay whole lines further on and the\n"
                      " page is the clean page moved by those lines, within noise)\n");

    std::fprintf(out, "\nby the export the fault struck in\n");
    std::fprintf(out, "  %-20s %6s %10s %9s %8s %10s\n", "export", "runs", "recovered", "elsewhere", "failed", "violating");
    for (const auto& [call, c] : byCall_) {
        std::fprintf(out, "  %-20s %6zu %10zu %9zu %8zu %10zu\n", call.c_str(), c.runs, c.recovered, c.elsewhere,
                     c.failedCleanly, c.violating);
    }

    std::fprintf(out, "\nviolations by kind (runs; one run may show several)\n");
    bool any = false;
    for (int k = 0; k < kViolationKinds; ++k) {
        if (byKind_[static_cast<std::size_t>(k)] == 0) continue;
        any = true;
        const auto kind = static_cast<Violation>(k);
        std::fprintf(out, "  %-24s %6zu  %s\n", ViolationName(kind), byKind_[static_cast<std::size_t>(k)],
                     ViolationMeaning(kind));
    }
    if (!any) std::fprintf(out, "  none\n");

    std::vector<std::pair<std::size_t, std::string>> causes;
    for (const auto& [text, count] : causes_) causes.emplace_back(count, text);
    std::sort(causes.rbegin(), causes.rend());
    std::fprintf(out, "\ntexts a client reads after a failed export (most frequent first)\n");
    for (std::size_t i = 0; i < causes.size() && i < 12; ++i) {
        std::fprintf(out, "  %6zu  \"%s\"\n", causes[i].first, causes[i].second.c_str());
    }
    if (causes.size() > 12) std::fprintf(out, "  ... and %zu more texts\n", causes.size() - 12);

    if (violating_ > 0) {
        std::fprintf(out, "\nviolating runs, up to %zu of each kind (repeat one: --variants V --at N)\n", examples);
        for (int k = 0; k < kViolationKinds; ++k) {
            const auto& list = examples_[static_cast<std::size_t>(k)];
            const auto kind = static_cast<Violation>(k);
            for (std::size_t i = 0; i < list.size() && i < examples; ++i) {
                const RunReport& r = list[i];
                std::string detail;
                for (const auto& [vk, d] : r.verdict.violations) {
                    if (vk == kind) {
                        detail = d;
                        break;
                    }
                }
                std::fprintf(out, "  %-22s %-5s N=%-5llu %-17s %-26s %s\n", ViolationName(kind), VariantName(r.run.variant),
                             static_cast<unsigned long long>(r.run.n), r.call.c_str(), r.transfer.c_str(), detail.c_str());
            }
        }
    }
    if (!firstSanitizerReport_.empty()) {
        std::fprintf(out, "\nthe first sanitizer report:\n%s\n", firstSanitizerReport_.c_str());
    }
}

}  // namespace ordavel::campaign
