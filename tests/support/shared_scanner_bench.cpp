// The shared scanner bench: configuration, in-test server, calibrated driver folder, programs.
#include "tests/support/shared_scanner_bench.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>

#include "platform/instance_lock.h"
#include "platform/profile.h"
#include "tests/support/image_stats.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {

namespace fs = std::filesystem;

ProgramRun RunInFolder(const std::string& folder, const std::string& environment, const std::string& command) {
    const std::string line = "cd '" + folder + "' && env " + environment + " " + command + " 2>&1";
    ProgramRun run;
    const auto start = std::chrono::steady_clock::now();
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> chunk{};
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.output.append(chunk.data(), n);
    const int status = pclose(pipe);
    run.realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::optional<GreyBitmap> ReadGreyBitmap(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
    auto le32 = [&](std::size_t at) {
        return static_cast<int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24));
    };
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || b[28] != 8) return std::nullopt;
    GreyBitmap bmp;
    bmp.width = le32(18);
    bmp.height = le32(22);
    const int32_t offset = le32(10);
    const int32_t stride = (bmp.width + 3) / 4 * 4;
    if (bmp.width <= 0 || bmp.height <= 0 ||
        b.size() < static_cast<std::size_t>(offset) + static_cast<std::size_t>(stride) * bmp.height) {
        return std::nullopt;
    }
    bmp.pixels.resize(static_cast<std::size_t>(bmp.width) * bmp.height);
    for (int32_t y = 0; y < bmp.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(offset) + static_cast<std::size_t>(bmp.height - 1 - y) * stride;
        std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(row), bmp.width,
                    bmp.pixels.begin() + static_cast<std::ptrdiff_t>(y) * bmp.width);
    }
    return bmp;
}

SharedScannerBench::SharedScannerBench(const std::vector<std::string>& pages, double speed, bool serve)
    : folder_(MakeScratchDir("shared")) {
    using platform::WriteProfileString;
    config_ = folder_ + "/scanner.ini";
    fs::copy_file(DataDir() + "/virtual/reference.ini", config_);
    WriteProfileString(config_, "Sharing", "Speed", std::to_string(speed));
    WriteProfileString(config_, "Sharing", "Idle_Ms", "300");
    WriteProfileString(config_, "Feeder", "Sheets", std::to_string(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        WriteProfileString(config_, "Sheet " + std::to_string(i + 1), "Page", pages[i]);
    }
    std::string error;
    virtual_scanner::SharedScannerAddressFor(config_, address_, error);
    // Calibrated once, on a private scanner holding the calibration sheet, as mirt does.
    fs::create_directories(folder_ + "/tmp");
    RunInFolder(folder_, "MIRT_STATE_DIR='" + folder_ + "/tmp' MIRT_VIRTUAL_SCANNER='" + config_ + "'",
                "'" + BinaryDir() + "/bin/mirt' calibrate --load-calibration-sheet");
    if (serve) {
        bool running = false;
        virtual_scanner::SharedServerOverrides overrides;
        overrides.exitWhenIdle = false;
        server_ = virtual_scanner::SharedScannerServer::Open(config_, overrides, error, running);
        if (server_) serving_ = std::thread([this] { server_->run(); });
    }
}

SharedScannerBench::~SharedScannerBench() {
    if (server_) {
        server_->stop();
        serving_.join();
        server_.reset();
    }
    // A server killed by the test leaves its lock file; nothing of the bench stays behind.
    platform::InstanceLock leftover;
    if (leftover.tryAcquire(address_.lockPath)) leftover.releaseAndRemove();
    std::error_code ec;
    fs::remove(address_.socketPath, ec);
    fs::remove_all(folder_, ec);
}

std::string SharedScannerBench::environment() const {
    // With the server inside the test, a program that started one of its own would be a fault:
    // the server program named here does not exist, so it cannot.
    std::string env = "MIRT_STATE_DIR='" + folder_ + "/tmp' MIRT_VIRTUAL_SCANNER='" + config_ + "'";
    if (server_) env += " MIRT_VIRTUAL_SERVER='" + folder_ + "/no-server'";
    return env;
}

ProgramRun SharedScannerBench::mirt(const std::string& arguments, const std::string& extraEnvironment) const {
    return RunInFolder(folder_, environment() + " " + extraEnvironment, "'" + BinaryDir() + "/bin/mirt' " + arguments);
}

virtual_scanner::SharedScannerConnection SharedScannerBench::connect(const std::string& serverProgram) const {
    std::string error;
    virtual_scanner::SharedScannerStart start;
    start.serverProgram = serverProgram;
    auto connection = virtual_scanner::ConnectSharedScanner(config_, start, error);
    return connection ? *connection : virtual_scanner::SharedScannerConnection{};
}

std::vector<virtual_scanner::ScanRecord> SharedScannerBench::paperScans() {
    std::vector<virtual_scanner::ScanRecord> out;
    for (const auto& scan : scanner().observations().scans) {
        const bool paper = std::any_of(scan.lines.begin(), scan.lines.end(), [](const auto& l) { return l.sheet != 0; });
        if (paper && scan.lines.size() > 100) out.push_back(scan);
    }
    return out;
}

double SharedScannerBench::Agreement(const GreyBitmap& page, const virtual_scanner::ScanRecord& scan,
                                     int32_t windowLeft) {
    const auto& sensor = scanner().config().sensor;
    std::vector<double> scanned, truth;
    const auto lines = std::min<std::size_t>(scan.lines.size(), static_cast<std::size_t>(page.height));
    for (std::size_t y = 0; y < lines; y += 4) {
        const auto& t = scan.lines[y];
        if (t.sheet == 0) continue;
        const auto sheet = scanner().sheetPage(t.sheet);
        for (int32_t x = 0; x < page.width; x += 4) {
            const double xi = sheet->widthInches() / 2 + (windowLeft + x - sensor.paperCentre + 0.5) / sensor.opticalResolution;
            if (!sheet->contains(xi, t.yInches)) continue;
            scanned.push_back(page.at(x, static_cast<int32_t>(y)));
            truth.push_back(sheet->reflectance(xi, t.yInches, virtual_scanner::Channel::Blue));
        }
    }
    return scanned.size() < 1000 ? 0.0 : Correlation(scanned, truth);
}

long SharedScannerBench::serverPid() const {
    std::ifstream in(address_.lockPath);
    long pid = 0;
    in >> pid;
    return pid;
}

}  // namespace ordavel::test
