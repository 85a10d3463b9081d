// Reference, faulted runs and child verdicts.
#include "tests/campaign/campaign_run.h"

#include <sstream>

namespace ordavel::campaign {

namespace {

bool HasSanitizerReport(const std::string& errors) {
    return errors.find("Sanitizer") != std::string::npos || errors.find("runtime error:") != std::string::npos;
}

// The line that says what went wrong: a sanitizer's summary, else the first line with text.
std::string Excerpt(const std::string& errors) {
    std::istringstream in(errors);
    std::string line, first;
    while (std::getline(in, line)) {
        if (line.rfind("SUMMARY:", 0) == 0) return line.substr(0, 300);
        if (first.empty() && line.find_first_not_of(" \t=") != std::string::npos) first = line;
    }
    return first.substr(0, 300);
}

CycleRecord Cycle(CycleKind kind, const std::string& dir, const std::vector<virtual_scanner::Fault>& faults = {},
                  bool labels = false) {
    CycleSetup setup;
    setup.kind = kind;
    setup.tempDir = dir;
    setup.faults = faults;
    setup.labelTransfers = labels;
    return RunCycle(setup);
}

std::string Describe(const CycleRecord& r) {
    if (!r.setupError.empty()) return r.setupError;
    if (r.readsNeverEnded) return "the scan never ended";
    if (r.failedCall.empty()) return "the page ended with " + std::to_string(r.page.size()) + " bytes";
    return r.failedCall + " failed: \"" + r.cause + "\"";
}

}  // namespace

bool PrepareReference(const std::string& dir, CleanReference& ref, std::string& error) {
    const std::string first = dir + "/first";
    if (!InstallDriverFiles(first, error)) return false;
    const CycleRecord calibration = Cycle(CycleKind::CalibrateAndScan, first);
    if (!calibration.completed) {
        error = "the first calibration does not work: " + Describe(calibration);
        return false;
    }
    ref.before = ReadFileSet(first);
    RemoveDir(first);

    const std::string clean = dir + "/clean";
    if (!WriteFileSet(clean, ref.before, error)) return false;
    ref.clean = Cycle(CycleKind::CalibrateAndScan, clean, {}, true);
    if (!ref.clean.completed) {
        error = "the clean cycle does not work: " + Describe(ref.clean);
        return false;
    }
    if (!ref.clean.protocolErrors.empty()) {
        error = "the clean cycle sends malformed commands: " + ref.clean.protocolErrors[0].second;
        return false;
    }
    ref.after = ReadFileSet(clean);
    ref.texts.insert(ref.clean.texts.begin(), ref.clean.texts.end());

    // A run that leaves the clean run's files needs no later cycles of its own: these stand for it.
    const CycleRecord laterScan = Cycle(CycleKind::ScanOnly, clean);
    const CycleRecord laterCycle = Cycle(CycleKind::CalibrateAndScan, clean);
    RemoveDir(clean);
    if (!laterScan.completed || !laterCycle.completed) {
        error = "a later cycle after the clean one does not work: " + Describe(laterScan.completed ? laterCycle : laterScan);
        return false;
    }
    if (laterCycle.page != ref.clean.page) {
        error = "a later cycle after the clean one gives another page: the virtual scanner is not repeatable";
        return false;
    }
    return true;
}

std::string RunFaulted(const CleanReference& ref, const PlannedRun& planned, const std::string& dir) {
    std::string error;
    Verdict verdict;
    if (!WriteFileSet(dir, ref.before, error)) {
        verdict.add(Violation::HarnessError, error);
        return verdict.Serialize();
    }
    const CycleRecord run = Cycle(CycleKind::CalibrateAndScan, dir, {FaultFor(planned.variant, planned.n)});
    const FileSet after = ReadFileSet(dir);
    verdict = JudgeRun(ref, run, after, StruckTransfer(ref, planned));
    if (after != ref.after) {
        // The run left files of its own: show that a scan and a calibration still work with them
        // (on a scanner that works again).
        const CycleRecord laterScan = Cycle(CycleKind::ScanOnly, dir);
        const CycleRecord laterCycle = Cycle(CycleKind::CalibrateAndScan, dir);
        JudgeLaterCycles(verdict, laterScan, laterCycle);
    }
    return verdict.Serialize();
}

std::string TraceFaulted(const CleanReference& ref, const PlannedRun& planned, const std::string& dir) {
    std::ostringstream out;
    std::string error;
    if (!WriteFileSet(dir, ref.before, error)) return error + "\n";
    const CycleRecord run = Cycle(CycleKind::CalibrateAndScan, dir, {FaultFor(planned.variant, planned.n)});
    out << VariantName(planned.variant) << " N=" << planned.n << " strikes transfer " << StruckTransfer(ref, planned)
        << "\n";
    const uint64_t struck = StruckTransfer(ref, planned);
    out << "the clean cycle around it:";
    for (uint64_t n = struck > 6 ? struck - 6 : 1; n <= struck + 6 && n <= ref.clean.transferLabels.size(); ++n) {
        out << (n == struck ? " [" : " ") << ref.clean.transferLabels[n - 1] << (n == struck ? "]" : "");
    }
    out << "\nclean:";
    for (const ExportCall& call : ref.clean.calls) out << " " << call.name << " " << call.transfersAfter;
    out << "\nthis run:\n";
    for (const ExportCall& call : run.calls) {
        out << "  " << call.name << " -> " << call.result << " (transfers to " << call.transfersAfter << ")\n";
    }
    out << "texts:\n";
    for (const std::string& text : run.texts) out << "  \"" << text << "\"" << (ref.texts.count(text) ? "" : "  *") << "\n";
    out << "failed call " << run.failedCall << ", reads \"" << run.cause << "\", after clean-up \"" << run.afterCleanUp
        << "\", open " << run.openAfterFailure << "/" << run.openAtEnd << "\n";
    // Where the sheet lay under the scan line, against the clean run, every 100 lines.
    const auto& clean = ref.clean.lastScanTruth;
    out << "sheet position (run - clean, inches) by line:";
    for (std::size_t i = 0; i < run.lastScanTruth.size() && i < clean.size(); i += 100) {
        out << " " << i << ":" << run.lastScanTruth[i].first << "/" << clean[i].first << " "
            << run.lastScanTruth[i].second - clean[i].second;
    }
    out << "\n";
    const Verdict verdict = JudgeRun(ref, run, ReadFileSet(dir), StruckTransfer(ref, planned));
    out << verdict.Serialize();
    return out.str();
}

Verdict VerdictOfChild(const platform::ChildEnd& end, std::string& report) {
    using How = platform::ChildEnd::How;
    Verdict verdict;
    const bool parsed = Verdict::Parse(end.output, verdict);
    const bool sanitizer = HasSanitizerReport(end.errors);
    if (sanitizer) report = end.errors;
    if (end.how == How::TimedOut) {
        verdict = Verdict{};
        verdict.add(Violation::Hang, "killed after " + std::to_string(static_cast<int>(end.seconds)) + " s");
        return verdict;
    }
    if (end.how == How::Signalled) {
        verdict = Verdict{};
        verdict.add(Violation::Crash, "signal " + std::to_string(end.code) + ": " + Excerpt(end.errors));
        if (sanitizer) verdict.add(Violation::Sanitizer, Excerpt(end.errors));
        return verdict;
    }
    if (end.code == platform::kLeakReportExitCode && parsed) {
        verdict.add(Violation::Sanitizer, Excerpt(end.errors));
        return verdict;
    }
    if (end.code != 0) {
        verdict = Verdict{};
        if (sanitizer) {
            verdict.add(Violation::Sanitizer, Excerpt(end.errors));
        } else {
            verdict.add(Violation::Crash, "exit code " + std::to_string(end.code) + ": " + Excerpt(end.errors));
        }
        return verdict;
    }
    if (!parsed) {
        verdict = Verdict{};
        verdict.add(Violation::HarnessError, "the run reported nothing readable");
        return verdict;
    }
    if (sanitizer) verdict.add(Violation::Sanitizer, Excerpt(end.errors));
    return verdict;
}

}  // namespace ordavel::campaign
