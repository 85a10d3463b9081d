// How one faulted run came out, judged against the clean run: recovered exactly, failed cleanly
// (one cause text that fits a transfer fault, read by the client after the failed export and
// still after its clean-up, the device closed, a later scan works), or the violations it shows.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/campaign/campaign_plan.h"
#include "tests/campaign/driver_files.h"
#include "tests/campaign/scan_cycle.h"

namespace ordavel::campaign {

enum class Violation {
    WrongPage,              // every export succeeded, the page is not the clean run's
    CalibrationDamaged,     // the stored calibration is neither the previous one nor a clean one
    NoCause,                // a failure without a failure text for the client to read
    WrongCause,             // the text the client reads does not name a communication failure
    CauseReplaced,          // the text the client reads is not the first failure's text
    CleanUpReplaced,        // the client's clean-up after the failure replaced the cause
    LeftOpen,               // the device connection stays open after the failure
    NeverEnds,              // the scan never completes nor fails
    LaterScanFails,         // a later scan in a fresh process fails
    LaterCalibrationFails,  // a later calibrate + scan in a fresh process fails
    ProtocolError,          // the driver sent the controller something it cannot take
    Crash,                  // the run's process died
    Sanitizer,              // a sanitizer reported an error or a leak
    Hang,                   // the run did not end in its time
    HarnessError,           // the run could not be set up or reported nothing readable
};
inline constexpr int kViolationKinds = static_cast<int>(Violation::HarnessError) + 1;

const char* ViolationName(Violation v);     // a short key
const char* ViolationMeaning(Violation v);  // for the figures table

enum class Outcome {
    Recovered,       // the clean run's page, byte for byte
    SheetElsewhere,  // the sheet lay some lines further on (a retried poll let the feed run on a
                     // little) and the page is the clean page moved by those lines, within noise
    FailedCleanly,
    Violating,
};

struct Verdict {
    Outcome outcome = Outcome::Recovered;
    std::vector<std::pair<Violation, std::string>> violations;  // kind, what was seen
    std::string failedCall;
    std::string cause;
    bool followedUp = false;  // later cycles were run (the run left files other than a clean run's)

    void add(Violation v, std::string detail);
    // One text of lines; Parse reads it back (false for anything else).
    std::string Serialize() const;
    static bool Parse(const std::string& text, Verdict& out);
};

// What every run is judged against.
struct CleanReference {
    CycleRecord clean;           // the clean calibrate + scan cycle
    FileSet before;              // the driver's files every run starts from (a previous calibration)
    FileSet after;               // ... and as the clean cycle leaves them
    std::set<std::string> texts; // the status texts of a clean cycle
};

// A text that names a failure to talk to the device (the transport's texts, the feed's
// communication text, the device not found).
bool IsCommunicationText(const std::string& text);

// The transfer number a run's fault strikes first (answers counted as transfers), 0 if none.
uint64_t StruckTransfer(const CleanReference& ref, const PlannedRun& run);

// The run itself, with the files it left; `struck` is the transfer its fault struck first (a
// short transfer leaves the controller a truncated command there, which is the fault's doing).
Verdict JudgeRun(const CleanReference& ref, const CycleRecord& run, const FileSet& filesAfter, uint64_t struck);
// A later scan alone and a later calibrate + scan, each in a fresh context on the files the run left.
void JudgeLaterCycles(Verdict& verdict, const CycleRecord& laterScan, const CycleRecord& laterCalibration);

}  // namespace ordavel::campaign
