// The rules a faulted run is held to.
#include "tests/campaign/run_verdict.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace ordavel::campaign {

namespace {

struct ViolationText {
    Violation kind;
    const char* name;
    const char* meaning;
};
constexpr ViolationText kViolations[] = {
    {Violation::WrongPage, "wrong-page", "success with a page other than the clean run's"},
    {Violation::CalibrationDamaged, "calibration-damaged", "stored calibration neither the previous nor a clean one"},
    {Violation::NoCause, "no-cause", "failure without a failure text"},
    {Violation::WrongCause, "wrong-cause", "failure text that is not a communication text"},
    {Violation::CauseReplaced, "cause-replaced", "text read is not the first failure's text"},
    {Violation::CleanUpReplaced, "clean-up-replaced", "the client's clean-up replaced the cause"},
    {Violation::LeftOpen, "left-open", "device connection left open after the failure"},
    {Violation::NeverEnds, "never-ends", "scan neither completes nor fails"},
    {Violation::LaterScanFails, "later-scan-fails", "a later scan in a fresh process fails"},
    {Violation::LaterCalibrationFails, "later-calibration-fails", "a later calibrate + scan in a fresh process fails"},
    {Violation::ProtocolError, "protocol-error", "controller saw a malformed command"},
    {Violation::Crash, "crash", "the run's process died"},
    {Violation::Sanitizer, "sanitizer", "sanitizer report (error or leak)"},
    {Violation::Hang, "hang", "the run did not end within its time"},
    {Violation::HarnessError, "harness-error", "the run could not be set up or said nothing"},
};

const ViolationText* Find(Violation v) {
    for (const auto& t : kViolations) {
        if (t.kind == v) return &t;
    }
    return nullptr;
}

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Which rows of a page differ from the clean page's, in words.
std::string PageDifference(const std::vector<uint8_t>& page, const std::vector<uint8_t>& clean, int32_t lineBytes) {
    std::ostringstream out;
    if (page.size() != clean.size()) {
        out << page.size() << " bytes instead of " << clean.size();
        return out.str();
    }
    if (lineBytes <= 0) return "the bytes differ";
    const std::size_t rows = clean.size() / static_cast<std::size_t>(lineBytes);
    std::size_t differing = 0, first = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        const auto begin = static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(lineBytes));
        if (!std::equal(page.begin() + begin, page.begin() + begin + lineBytes, clean.begin() + begin)) {
            if (differing++ == 0) first = row;
        }
    }
    out << differing << " of " << rows << " rows differ, the first is row " << first;
    return out.str();
}

// How many lines further on the sheet lay under the scan line than in the clean run, when every
// line of the scan that saw a sheet in both runs saw the same sheet moved by the same whole number
// of lines. The scan begins before the leading edge (its first lines see no sheet, which has no
// position), so the shift is measured where both runs see the sheet; lines where only one of
// them does lie at the sheet's edges, within the shift of them.
bool SheetShift(const std::vector<std::pair<int, double>>& run, const std::vector<std::pair<int, double>>& clean,
                int& shift) {
    shift = 0;
    if (run.size() != clean.size() || clean.size() < 2) return false;
    double pitch = 0;
    for (std::size_t i = 0; i + 1 < clean.size() && pitch <= 0; ++i) {
        if (clean[i].first != 0 && clean[i + 1].first == clean[i].first) pitch = clean[i + 1].second - clean[i].second;
    }
    if (pitch <= 0) return false;
    std::size_t first = 0;
    while (first < run.size() && (clean[first].first == 0 || run[first].first != clean[first].first)) ++first;
    if (first == run.size()) return false;
    const double lines = (run[first].second - clean[first].second) / pitch;
    shift = static_cast<int>(std::lround(lines));
    if (std::abs(lines - shift) > 0.05) return false;
    std::size_t edgeLines = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
        if (run[i].first != clean[i].first) {
            ++edgeLines;
            continue;
        }
        if (clean[i].first != 0 && std::abs((run[i].second - clean[i].second) / pitch - shift) > 0.05) return false;
    }
    // A leading and a trailing edge, each moved by the shift.
    return edgeLines <= 2 * static_cast<std::size_t>(std::abs(shift));
}

// True when each row of `page`, but for the `shift` rows that have no counterpart, is the clean
// page's row `shift` away (either way up: the page may be delivered bottom-up) within noise: a
// moved sheet changes the noise, lost or misplaced data changes whole runs of rows. A few rows
// may differ more: a printed edge that lies exactly on a line is sampled on either side of it
// when the two positions differ in their last bits.
bool MovedPage(const std::vector<uint8_t>& page, const std::vector<uint8_t>& clean, int32_t lineBytes, int shift) {
    constexpr double kNoise = 3.0;      // mean absolute difference of a row, in grey levels
    constexpr int kEdgeRows = 8;        // rows allowed above it
    if (page.size() != clean.size() || lineBytes <= 0) return false;
    const auto width = static_cast<std::size_t>(lineBytes);
    const auto rows = static_cast<long>(clean.size() / width);
    for (int direction : {1, -1}) {
        const long by = static_cast<long>(shift) * direction;
        int above = 0;
        for (long y = 0; y < rows && above <= kEdgeRows; ++y) {
            const long other = y + by;
            if (other < 0 || other >= rows) continue;
            long sum = 0;
            for (std::size_t x = 0; x < width; ++x) {
                sum += std::abs(static_cast<int>(page[static_cast<std::size_t>(y) * width + x]) -
                                static_cast<int>(clean[static_cast<std::size_t>(other) * width + x]));
            }
            if (static_cast<double>(sum) / static_cast<double>(width) > kNoise) ++above;
        }
        if (above <= kEdgeRows) return true;
    }
    return false;
}

std::string DifferingFiles(const FileSet& a, const FileSet& b) {
    std::string names;
    for (const auto& [name, content] : a) {
        const auto it = b.find(name);
        if (it != b.end() && it->second == content) continue;
        if (!names.empty()) names += ", ";
        names += name + (content == "(missing)" ? " missing" : " (" + std::to_string(content.size()) + " bytes)");
    }
    return names;
}

std::string FailureOf(const CycleRecord& r) {
    if (!r.setupError.empty()) return r.setupError;
    if (r.readsNeverEnded) return "the scan never ended";
    if (r.failedCall.empty()) return "the page ended with " + std::to_string(r.page.size()) + " bytes";
    return r.failedCall + ": " + Quoted(r.cause);
}

}  // namespace

const char* ViolationName(Violation v) { return Find(v) ? Find(v)->name : "?"; }
const char* ViolationMeaning(Violation v) { return Find(v) ? Find(v)->meaning : "?"; }

void Verdict::add(Violation v, std::string detail) {
    violations.emplace_back(v, OneLine(std::move(detail)));
    outcome = Outcome::Violating;
}

std::string Verdict::Serialize() const {
    std::ostringstream out;
    const char* code = outcome == Outcome::Recovered        ? "R"
                       : outcome == Outcome::SheetElsewhere ? "S"
                       : outcome == Outcome::FailedCleanly  ? "F"
                                                            : "V";
    out << "outcome " << code << "\n";
    out << "call " << OneLine(failedCall) << "\n";
    out << "cause " << OneLine(cause) << "\n";
    out << "followed " << (followedUp ? 1 : 0) << "\n";
    for (const auto& [kind, detail] : violations) out << "violation " << ViolationName(kind) << "\t" << detail << "\n";
    out << "end\n";
    return out.str();
}

bool Verdict::Parse(const std::string& text, Verdict& v) {
    v = Verdict{};
    std::istringstream in(text);
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "outcome") {
            v.outcome = value == "R"   ? Outcome::Recovered
                        : value == "S" ? Outcome::SheetElsewhere
                        : value == "F" ? Outcome::FailedCleanly
                                       : Outcome::Violating;
        } else if (key == "call") {
            v.failedCall = value;
        } else if (key == "cause") {
            v.cause = value;
        } else if (key == "followed") {
            v.followedUp = value == "1";
        } else if (key == "violation") {
            const auto tab = value.find('\t');
            const std::string name = value.substr(0, tab);
            const ViolationText* found = nullptr;
            for (const auto& t : kViolations) {
                if (name == t.name) found = &t;
            }
            if (found == nullptr) return false;
            v.violations.emplace_back(found->kind, tab == std::string::npos ? "" : value.substr(tab + 1));
        } else if (key == "end") {
            ended = true;
        }
    }
    return ended;
}

bool IsCommunicationText(const std::string& text) {
    static const char* const kTexts[] = {"通信失败", "Write Register failed!", "Read Register failed!", "Bulk Out failed!",
                                         "BulkOut failed!", "BulkIn failed!", "Verify error", "未发现 "};
    for (const char* t : kTexts) {
        if (text.rfind(t, 0) == 0) return true;
    }
    // Texts added for lost data and the like say "communication" somewhere in them.
    return text.find("通信") != std::string::npos || text.find("通讯") != std::string::npos;
}

uint64_t StruckTransfer(const CleanReference& ref, const PlannedRun& run) {
    if (!CountsAnswers(run.variant)) return run.n;
    return run.n >= 1 && run.n <= ref.clean.answerTransfers.size() ? ref.clean.answerTransfers[run.n - 1] : 0;
}

Verdict JudgeRun(const CleanReference& ref, const CycleRecord& run, const FileSet& filesAfter, uint64_t struck) {
    Verdict v;
    v.failedCall = run.failedCall;
    v.cause = run.cause;
    if (!run.setupError.empty()) {
        v.add(Violation::HarnessError, run.setupError);
        return v;
    }
    std::vector<std::string> protocolErrors;
    for (const auto& [transfer, text] : run.protocolErrors) {
        if (transfer != struck) protocolErrors.push_back("at transfer " + std::to_string(transfer) + ": " + text);
    }
    if (!protocolErrors.empty()) {
        v.add(Violation::ProtocolError, std::to_string(protocolErrors.size()) + ", the first " + protocolErrors[0]);
    }
    const FileSet calibration = CalibrationFiles(filesAfter);
    const FileSet previous = CalibrationFiles(ref.before);
    if (calibration != previous && calibration != CalibrationFiles(ref.after)) {
        v.add(Violation::CalibrationDamaged, "differing from the previous: " + DifferingFiles(calibration, previous));
    }
    if (run.readsNeverEnded) v.add(Violation::NeverEnds, "still not complete after the reads allowed");

    bool elsewhere = false;
    if (run.completed) {
        if (run.page != ref.clean.page) {
            int shift = 0;
            if (SheetShift(run.lastScanTruth, ref.clean.lastScanTruth, shift) && shift != 0 &&
                MovedPage(run.page, ref.clean.page, ref.clean.lineBytes, shift)) {
                elsewhere = true;
            } else {
                std::string where = shift != 0 ? " (the sheet lay " + std::to_string(shift) + " lines further on)" : "";
                v.add(Violation::WrongPage, PageDifference(run.page, ref.clean.page, ref.clean.lineBytes) + where);
            }
        }
        if (run.openAtEnd && !ref.clean.openAtEnd) v.add(Violation::LeftOpen, "after the stop");
    } else if (run.failedCall.empty()) {
        v.add(Violation::WrongPage, "the scan said complete with " + PageDifference(run.page, ref.clean.page, ref.clean.lineBytes));
    } else if (!run.readsNeverEnded) {
        std::string first;
        for (const std::string& t : run.texts) {
            if (!ref.texts.count(t)) {
                first = t;
                break;
            }
        }
        const bool noCause = run.cause.empty() || ref.texts.count(run.cause) > 0;
        if (noCause) {
            v.add(Violation::NoCause, run.failedCall + " failed and reads " + Quoted(run.cause));
        } else if (!IsCommunicationText(run.cause)) {
            v.add(Violation::WrongCause, run.failedCall + " failed with " + Quoted(run.cause));
        }
        if (!noCause && !first.empty() && run.cause != first) {
            v.add(Violation::CauseReplaced, "first " + Quoted(first) + ", reads " + Quoted(run.cause));
        }
        if (run.afterCleanUp != run.cause) {
            v.add(Violation::CleanUpReplaced, Quoted(run.cause) + " became " + Quoted(run.afterCleanUp));
        }
        if (run.openAfterFailure || run.openAtEnd) {
            v.add(Violation::LeftOpen, run.openAfterFailure ? "after " + run.failedCall : "after the clean-up");
        }
    }
    if (v.violations.empty()) {
        v.outcome = !run.completed ? Outcome::FailedCleanly : elsewhere ? Outcome::SheetElsewhere : Outcome::Recovered;
    }
    return v;
}

void JudgeLaterCycles(Verdict& verdict, const CycleRecord& laterScan, const CycleRecord& laterCalibration) {
    verdict.followedUp = true;
    if (!laterScan.completed) verdict.add(Violation::LaterScanFails, FailureOf(laterScan));
    if (!laterCalibration.completed) verdict.add(Violation::LaterCalibrationFails, FailureOf(laterCalibration));
}

}  // namespace ordavel::campaign
