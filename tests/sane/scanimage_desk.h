// A desk for running Debian's real scanimage (and saned) against the built backend: a scratch
// SANE configuration naming only this backend, a virtual scanner with the sheets and faults a test
// puts in its feeder, and the driver's directory with a stored calibration.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ordavel::test {

struct ProgramRun {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

using FaultKeys = std::vector<std::pair<std::string, std::string>>;

class ScanimageDesk {
public:
    // A desk whose driver directory holds the calibration made once for the whole program.
    explicit ScanimageDesk(const std::string& tag);
    ~ScanimageDesk();
    ScanimageDesk(const ScanimageDesk&) = delete;
    ScanimageDesk& operator=(const ScanimageDesk&) = delete;

    // The virtual scanner of mirt.conf: the reference scanner with these sheets (built-in page
    // names), first sheet at "Ready" or "Entrance", and these faults.
    void load(const std::vector<std::string>& pages, const std::vector<FaultKeys>& faults = {},
              const std::string& firstSheet = "Ready");
    // mirt.conf's text as given (no virtual scanner unless it names one).
    void writeBackendConfig(const std::string& text) const;
    // The driver's directory without any calibration.
    void forgetCalibration() const;

    // Runs `program arguments` in the desk's folder with the desk's environment, bounded in time.
    // (Programs that never load the backend drop its sanitizer preload: "env -u LD_PRELOAD tool".)
    ProgramRun run(const std::string& program, const std::string& arguments, int timeoutSeconds = 60) const;
    ProgramRun scanimage(const std::string& arguments) const { return run("scanimage", arguments); }

    const std::string& dir() const { return dir_; }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string configDir() const { return dir_ + "/sane.d"; }
    std::string scannerConfig() const { return dir_ + "/scanner.ini"; }
    // The environment every program of the desk gets: "NAME=value ..." for env(1).
    std::string environment() const;

    // The calibration every desk starts from, made once with scanimage --calibrate; empty when
    // it worked, else what went wrong.
    static const std::string& SharedCalibrationProblem();

private:
    std::string dir_;
};

}  // namespace ordavel::test
