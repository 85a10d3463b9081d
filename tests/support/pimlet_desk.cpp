// The scan-to-file desk.
#include "tests/support/pimlet_desk.h"

#include "tests/support/command_output.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/wait.h>

#include "platform/profile.h"
#include "platform/registry_store.h"
#include "tests/support/test_context.h"
#include "tests/support/scratch_files.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {

namespace fs = std::filesystem;

namespace {

// The environment of this process during a call, for the library's own look-ups in-process.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

PimletRun Run(const std::string& command) {
    PimletRun run;
    const auto start = std::chrono::steady_clock::now();
    ordavel::test::CommandOutput out = ordavel::test::RunShellCommand(command);
    run.output = std::move(out.output);
    run.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    run.result = out.exitCode;
    return run;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

PimletDesk::PimletDesk(const std::string& tag) : root_(MakeScratchDir(tag)) {
    for (const std::string& folder : {tmp(), out(), runtime()}) fs::create_directories(folder);
    // The driver's files as a calibrated installation has them.
    {
        TestContext driverFiles(tag + "-driver");
        driverFiles.writeSettings("[SETUP]\nScannerFile=Mirt9832.dsc\nDebug=0\nScan_Buffer_MBytes=8\n");
        driverFiles.writeNeutralCalibration();
        for (const auto& entry : fs::directory_iterator(driverFiles.tempDir())) {
            fs::copy_file(entry.path(), tmp() + "/" + entry.path().filename().string());
        }
    }
    fs::copy_file(DataDir() + "/Mirt9832.dsc", tmp() + "/Mirt9832.dsc", fs::copy_options::overwrite_existing);
    windowsDirectory(true, true);
    feeder({"chart"});
}

PimletDesk::~PimletDesk() {
    stopMonitor();
    presence_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void PimletDesk::feeder(const std::vector<std::string>& pages, const std::vector<FaultKeys>& faults) {
    scannerConfig_ = root_ + "/scanner.ini";
    fs::copy_file(DataDir() + "/virtual/reference.ini", scannerConfig_, fs::copy_options::overwrite_existing);
    using platform::WriteProfileString;
    WriteProfileString(scannerConfig_, "Feeder", "First_Sheet", "Ready");
    WriteProfileString(scannerConfig_, "Feeder", "Sheets", std::to_string(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        WriteProfileString(scannerConfig_, "Sheet " + std::to_string(i + 1), "Page", pages[i]);
    }
    // Used when the scanner is shared: ten times real time keeps a page under a second while the
    // host's own work stays small against the feed's 10 ms polls; the server leaves soon after.
    WriteProfileString(scannerConfig_, "Sharing", "Speed", "10");
    WriteProfileString(scannerConfig_, "Sharing", "Idle_Ms", "3000");
    WriteProfileString(scannerConfig_, "Faults", "Count", std::to_string(faults.size()));
    for (std::size_t i = 0; i < faults.size(); ++i) {
        for (const auto& [key, value] : faults[i]) {
            WriteProfileString(scannerConfig_, "Fault " + std::to_string(i + 1), key, value);
        }
    }
}

void PimletDesk::windowsDirectory(bool driver, bool monitor) {
    std::error_code ec;
    fs::remove_all(windir(), ec);
    fs::create_directories(mirtFolder());
    if (driver) fs::create_symlink(BinaryDir() + "/lib/libOrdavel.so", mirtFolder() + "/libOrdavel.so");
    if (monitor) fs::create_symlink(BinaryDir() + "/bin/Halvex", mirtFolder() + "/Halvex");
}

void PimletDesk::markerMonitor(const std::string& marker) {
    const std::string program = mirtFolder() + "/Halvex";
    std::error_code ec;
    fs::remove(program, ec);
    std::ofstream(program) << "#!/bin/sh\ntouch " << Quoted(marker) << "\n";
    fs::permissions(program, fs::perms::owner_all);
}

std::string PimletDesk::environment() const {
    return "MIRT_STATE_DIR=" + Quoted(tmp()) + " MIRT_REGISTRY=" + Quoted(registry()) + " MIRT_RUNTIME_DIR=" +
           Quoted(runtime()) + " MIRT_WINDIR=" + Quoted(windir()) + " MIRT_VIRTUAL_SCANNER=" + Quoted(scannerConfig_) +
           (shared_ ? "" : " MIRT_VIRTUAL_PRIVATE=1");
}

PimletRun PimletDesk::scan(const PimletScan& s, const std::string& prefix, std::optional<std::string> directory) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d %d %d %d", s.bitDepth, s.resolution, s.paperForm,
                  s.singleSheet, s.brightness, s.contrast, s.highlight, s.shadow, s.gamma);
    PimletRun run = Run("cd " + Quoted(root_) + " && env " + environment() + " " +
                        Quoted(BinaryDir() + "/bin/pimlet-scan") + " " + Quoted(directory.value_or(out())) + " " +
                        Quoted(prefix) + " " + numbers);
    const auto at = run.output.rfind("result ");
    if (at != std::string::npos) std::sscanf(run.output.c_str() + at, "result %*d pages %u", &run.pages);
    return run;
}

PimletRun PimletDesk::monitor(const std::string& arguments) {
    return Run("env " + environment() + " " + Quoted(BinaryDir() + "/bin/Halvex") + " " + arguments);
}

std::optional<uint32_t> PimletDesk::value(const std::string& name) const {
    std::ifstream in(keyFolder() + "/" + name + ".value", std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.size() != 8) return std::nullopt;
    return Le32(bytes, 4);
}

void PimletDesk::setValue(const std::string& name, uint32_t v) const {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(v >> shift));
    setRawValue(name, platform::kRegistryDword, bytes);
}

void PimletDesk::setRawValue(const std::string& name, uint32_t type, const std::string& bytes) const {
    fs::create_directories(keyFolder());
    std::string file;
    for (int shift = 0; shift < 32; shift += 8) file.push_back(static_cast<char>(type >> shift));
    std::ofstream(keyFolder() + "/" + name + ".value", std::ios::binary) << file << bytes;
}

void PimletDesk::holdMonitorPresence() {
    ScopedEnvironment runtimeFolder("MIRT_RUNTIME_DIR", runtime());
    presence_ = platform::Presence::Take("usbHalvex");
}

bool PimletDesk::waitForPaperValue(uint32_t expected, int timeoutMs) const {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        if (value("bPaperLoaded") == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void PimletDesk::stopMonitor() {
    // The monitor writes its process id into its presence file.
    std::ifstream in(runtime() + "/usbHalvex");
    long pid = 0;
    if (!(in >> pid) || pid <= 1) return;
    ScopedEnvironment runtimeFolder("MIRT_RUNTIME_DIR", runtime());
    if (!platform::PresenceHeld("usbHalvex") || presence_) return;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    for (int i = 0; i < 100 && platform::PresenceHeld("usbHalvex"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::vector<uint8_t> PimletDesk::readOutput(const std::string& name) const {
    std::ifstream in(out() + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& b, std::size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

}  // namespace ordavel::test
