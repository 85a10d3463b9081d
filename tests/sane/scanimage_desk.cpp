// The scanimage desk.
#include "tests/sane/scanimage_desk.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/profile.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// A folder removed when the program ends.
struct OwnedDir {
    std::string path;
    ~OwnedDir() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
};

// The stored calibration, made once for every test program of this build and driver: scanimage
// presses the calibrate button of a virtual scanner holding the white calibration sheet in its
// rollers, in a folder of its own that is then renamed into place (two programs calibrating at
// once both succeed; the first rename wins). The folder's name holds the driver library's time
// of change, so a rebuilt driver calibrates anew.
struct SharedCalibration {
    OwnedDir dir;
    std::string path;
    std::string problem;

    SharedCalibration() {
        std::error_code ec;
        const auto built = fs::last_write_time(BinaryDir() + "/lib/libOrdavel.so", ec).time_since_epoch().count();
        path = BinaryDir() + "/sane-calibration-" + std::to_string(built);
        if (fs::exists(path + "/cr.dat", ec)) return;
        ScanimageDesk desk("sane-calibration");
        desk.load({"white"});
        const ProgramRun run = desk.scanimage("--calibrate -n");
        if (run.exitCode != 0) {
            problem = "scanimage --calibrate -n exited " + std::to_string(run.exitCode) + ": " + run.err;
            return;
        }
        dir.path = path + ".new-" + std::to_string(::getpid());
        fs::copy(desk.file("tmp"), dir.path, fs::copy_options::recursive, ec);
        if (ec) {
            problem = "cannot keep the calibration: " + ec.message();
            return;
        }
        fs::rename(dir.path, path, ec);  // fails when another program was first: use its calibration
    }
};

const SharedCalibration& Calibration() {
    static const SharedCalibration calibration;
    return calibration;
}

}  // namespace

ScanimageDesk::ScanimageDesk(const std::string& tag) : dir_(MakeScratchDir(tag)) {
    fs::create_directories(configDir());
    fs::create_directories(file("tmp"));
    WriteText(configDir() + "/dll.conf", "mirt\n");
    writeBackendConfig("virtual " + scannerConfig() + "\n");
    // The calibration desk itself starts without one.
    if (tag != "sane-calibration" && Calibration().problem.empty()) {
        fs::copy(Calibration().path, file("tmp"), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}

ScanimageDesk::~ScanimageDesk() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

const std::string& ScanimageDesk::SharedCalibrationProblem() { return Calibration().problem; }

void ScanimageDesk::load(const std::vector<std::string>& pages, const std::vector<FaultKeys>& faults,
                         const std::string& firstSheet) {
    const std::string config = scannerConfig();
    fs::copy_file(DataDir() + "/virtual/reference.ini", config, fs::copy_options::overwrite_existing);
    using ordavel::platform::WriteProfileString;
    WriteProfileString(config, "Feeder", "First_Sheet", firstSheet);
    WriteProfileString(config, "Feeder", "Sheets", std::to_string(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        WriteProfileString(config, "Sheet " + std::to_string(i + 1), "Page", pages[i]);
    }
    WriteProfileString(config, "Faults", "Count", std::to_string(faults.size()));
    for (std::size_t i = 0; i < faults.size(); ++i) {
        for (const auto& [key, value] : faults[i]) {
            WriteProfileString(config, "Fault " + std::to_string(i + 1), key, value);
        }
    }
}

void ScanimageDesk::writeBackendConfig(const std::string& text) const { WriteText(configDir() + "/mirt.conf", text); }

void ScanimageDesk::forgetCalibration() const {
    for (const char* name : {"cr.dat", "BlackFINE.PXL", "FINE.PXL", "COARSE.PXL"}) {
        std::error_code ec;
        fs::remove(file("tmp") + "/" + name, ec);
    }
}

std::string ScanimageDesk::environment() const {
    // The scanner is a private one of the program, on virtual time: a page costs no real time
    // and every run starts with a full feeder.
    std::string variables = "SANE_CONFIG_DIR='" + configDir() + "' LD_LIBRARY_PATH='" + BinaryDir() +
                            "/lib/sane' MIRT_STATE_DIR='" + file("tmp") + "' MIRT_VIRTUAL_PRIVATE=1";
#ifdef MIRT_SANITIZER_PRELOAD
    // The programs are Debian's, the backend and driver sanitized: their runtimes come first.
    // Leaks of the programs themselves are not this project's to judge.
    // A preload this program runs with (umockdev's, for a device it presents) follows them.
    const char* inherited = std::getenv("LD_PRELOAD");
    variables += " LD_PRELOAD='" MIRT_SANITIZER_PRELOAD + std::string(inherited != nullptr && *inherited != '\0' ? ":" : "") +
                 (inherited != nullptr ? inherited : "") + "' ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0";
#endif
    return variables;
}

ProgramRun ScanimageDesk::run(const std::string& program, const std::string& arguments, int timeoutSeconds) const {
    const std::string out = file("run.out");
    const std::string err = file("run.err");
    const std::string command = "cd '" + dir_ + "' && env -u MIRT_VIRTUAL_SCANNER -u SANE_DEBUG_MIRT " + environment() +
                                " timeout -k 5 " + std::to_string(timeoutSeconds) + " " + program + " " + arguments +
                                " > '" + out + "' 2> '" + err + "' < /dev/null";
    ProgramRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(out);
    run.err = Slurp(err);
    std::error_code ec;
    fs::remove(out, ec);
    fs::remove(err, ec);
    return run;
}

}  // namespace ordavel::test
