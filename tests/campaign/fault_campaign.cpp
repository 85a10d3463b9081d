// fault_campaign: a failure injected at transfer N of a calibrate + scan cycle, for every N (or a
// seeded sample) and several kinds of failure, each run in a fresh process with a fresh driver
// context against the in-process virtual scanner. Every run must recover exactly (the page the
// clean run gives) or fail cleanly (one communication text for the client, the device closed,
// later scans working); anything else is a violation. Prints the figures table.
//
// Exit codes: 0 done (violations included unless --strict), 1 violations with --strict,
// 2 the campaign itself could not run (no clean cycle, a run it could not set up or read).
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

#include "platform/child_pool.h"
#include "tests/campaign/campaign_run.h"
#include "tests/campaign/figures.h"

namespace campaign = ordavel::campaign;

namespace {

struct Options {
    std::vector<std::string> variants{"once", "short", "empty", "burst", "dead"};
    uint64_t stride = 1;
    uint64_t sample = 0;
    std::vector<uint64_t> at;
    uint64_t seed = 1;
    double budgetSeconds = 0;
    int jobs = 2;
    double runTimeoutSeconds = 120;
    bool strict = false;
    bool trace = false;
    bool leakCheck = true;
    std::size_t examples = 3;
    std::string workDir;
};

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Where(const campaign::CleanReference& ref, const campaign::PlannedRun& run, std::string& transfer) {
    const uint64_t n = campaign::StruckTransfer(ref, run);
    transfer = n >= 1 && n <= ref.clean.transferLabels.size() ? ref.clean.transferLabels[n - 1] : "?";
    return campaign::CallOfTransfer(ref.clean, n);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"Injects a failure at every transfer of a calibrate + scan cycle and prints how the driver came out of it."};
    app.add_option("--variants", o.variants, "failures to inject: once, short, empty, burst, dead")->delimiter(',');
    app.add_option("--stride", o.stride, "every Nth transfer, from a seeded first one");
    app.add_option("--sample", o.sample, "at most this many runs per variant, chosen by the seed (0: all)");
    app.add_option("--at", o.at, "only these transfers (1-based; answers for 'empty')")->delimiter(',');
    app.add_option("--seed", o.seed, "seed of the sample and of the run order");
    app.add_option("--budget", o.budgetSeconds, "start no run after this many seconds (0: no limit)");
    app.add_option("--jobs", o.jobs, "runs at a time")->check(CLI::Range(1, 64));
    app.add_option("--run-timeout", o.runTimeoutSeconds, "seconds one run may take before it counts as a hang");
    app.add_flag("--strict", o.strict, "exit 1 when any run shows a violation");
    app.add_flag("--trace", o.trace, "run the planned runs one by one in this process, tell each step by step and keep its files");
    app.add_flag("!--no-leak-check", o.leakCheck, "sanitizer builds: do not check each run for leaks");
    app.add_option("--examples", o.examples, "violating runs shown per kind");
    app.add_option("--work-dir", o.workDir, "where runs keep the driver's files (default: a fresh temporary folder)");
    CLI11_PARSE(app, argc, argv);

    campaign::PlanOptions plan;
    for (const std::string& name : o.variants) {
        campaign::Variant v;
        if (!campaign::ParseVariant(name, v)) {
            std::fprintf(stderr, "fault_campaign: unknown variant '%s'\n", name.c_str());
            return 2;
        }
        plan.variants.push_back(v);
    }
    plan.stride = o.stride;
    plan.samplePerVariant = o.sample;
    plan.at = o.at;
    plan.seed = o.seed;

    const bool ownWorkDir = o.workDir.empty();
    if (ownWorkDir) {
        o.workDir = (std::filesystem::temp_directory_path() / ("fault-campaign-" + std::to_string(::getpid()))).string();
    }
    const double began = Seconds();
    campaign::CleanReference ref;
    std::string error;
    if (!campaign::PrepareReference(o.workDir, ref, error)) {
        std::fprintf(stderr, "fault_campaign: %s\n", error.c_str());
        if (ownWorkDir) campaign::RemoveDir(o.workDir);
        return 2;
    }
    const double cleanSeconds = Seconds() - began;
    const std::vector<campaign::PlannedRun> runs = campaign::PlanRuns(plan, ref.clean.transfers, ref.clean.transfersIn);

    std::printf("fault campaign: calibrate on the white sheet, then scan the chart (1100 x 1892 grey) through the\n"
                "exports, on a fresh driver context per run against the reference virtual scanner\n");
    std::printf("clean cycle: %llu transfers (%llu answers), %zu page bytes; reference made in %.1f s\n",
                static_cast<unsigned long long>(ref.clean.transfers), static_cast<unsigned long long>(ref.clean.transfersIn),
                ref.clean.page.size(), cleanSeconds);
    std::fflush(stdout);

    if (o.trace) {
        std::size_t id = 0;
        for (const campaign::PlannedRun& run : runs) {
            const std::string dir = o.workDir + "/trace-" + std::to_string(++id);
            std::printf("%s", campaign::TraceFaulted(ref, run, dir).c_str());
            std::printf("the run's files are left in %s\n\n", dir.c_str());
        }
        return 0;
    }

    ordavel::platform::ChildPool pool(o.jobs);
    campaign::Figures figures;
    std::map<uint64_t, std::string> dirs;
    const auto timeoutMs = static_cast<uint32_t>(o.runTimeoutSeconds * 1000);
    const double start = Seconds();
    std::size_t next = 0;
    bool broke = false;
    for (;;) {
        while (!broke && !pool.full() && next < runs.size() && (o.budgetSeconds <= 0 || Seconds() - start < o.budgetSeconds)) {
            const campaign::PlannedRun run = runs[next];
            const uint64_t id = ++next;
            const std::string dir = o.workDir + "/run-" + std::to_string(id);
            if (!pool.start(id, [&ref, run, dir] { return campaign::RunFaulted(ref, run, dir); }, timeoutMs, o.leakCheck)) {
                std::fprintf(stderr, "fault_campaign: cannot start a run process\n");
                broke = true;
                break;
            }
            dirs[id] = dir;
        }
        if (pool.running() == 0) break;
        auto [id, end] = pool.next();
        campaign::RemoveDir(dirs[id]);
        dirs.erase(id);
        campaign::RunReport report;
        report.run = runs[id - 1];
        report.verdict = campaign::VerdictOfChild(end, report.errors);
        report.call = Where(ref, report.run, report.transfer);
        figures.add(report);
    }
    const double elapsed = Seconds() - start;
    if (ownWorkDir) campaign::RemoveDir(o.workDir);

    std::printf("%zu of %zu planned runs (seed %llu, stride %llu%s) in %.0f s with %d jobs, %.2f s a run\n",
                figures.runs(), runs.size(), static_cast<unsigned long long>(o.seed),
                static_cast<unsigned long long>(o.stride), o.budgetSeconds > 0 ? ", time budget" : "", elapsed, o.jobs,
                figures.runs() == 0 ? 0.0 : elapsed * o.jobs / static_cast<double>(figures.runs()));
    figures.print(stdout, o.examples);
    std::fflush(stdout);
    // Runs the campaign could not set up or read are its own failure, not the driver's.
    if (broke || figures.showing(campaign::Violation::HarnessError) > 0) return 2;
    if (o.strict && figures.violating() > 0) return 1;
    return 0;
}
