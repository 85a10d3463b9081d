// The campaign's steps: the reference (a previous calibration, then the clean cycle from it),
// one faulted run with its later cycles as a child process does it, and the verdict on a child
// that crashed, hung or left a sanitizer report.
#pragma once

#include <string>

#include "platform/child_pool.h"
#include "tests/campaign/campaign_plan.h"
#include "tests/campaign/run_verdict.h"

namespace ordavel::campaign {

// Calibrates in `dir` from nothing (the previous calibration every run starts from), then runs
// the clean cycle from there and checks that later cycles after it work and give the same page.
// False with `error` when the clean cycle itself does not work.
bool PrepareReference(const std::string& dir, CleanReference& ref, std::string& error);

// One faulted run in `dir` (created and filled here), judged; the verdict as text.
std::string RunFaulted(const CleanReference& ref, const PlannedRun& run, const std::string& dir);

// The same run in this process, told step by step for a developer reproducing it with --at:
// each export's result, every status text in order, what the client read, and the verdict.
std::string TraceFaulted(const CleanReference& ref, const PlannedRun& run, const std::string& dir);

// The verdict on a child's end: its own verdict, or what its crash, hang or report says.
Verdict VerdictOfChild(const platform::ChildEnd& end, std::string& report);

}  // namespace ordavel::campaign
