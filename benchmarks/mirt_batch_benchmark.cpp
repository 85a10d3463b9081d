// mirt batch benchmark: pages per minute of a batch (20 sheets by default) written as BMP, PNG,
// TIFF and PDF, beside the scanner's own pace (the same batch with every page dropped), and the
// writer thread's CPU per page. It runs the built mirt against the shared virtual scanner, whose
// device time runs at its configuration's [Sharing] Speed times real time: in virtual time
// writing would cost nothing and prove nothing. Every batch gets a device of its own (a fresh
// feeder).
//
// A busy machine makes single runs wander by several per cent (every millisecond the host is
// late counts as speed times that in device time), so the figure is made robust: one untimed
// warm-up batch first, then rounds in which every case runs at once beside the others, each on a
// device of its own (whatever load the machine has then falls on every case alike), and the
// median of the rounds per case. The pace counted is the one from the first page to the last
// written: what comes before the first sheet (loading the driver, starting the server, the lamp)
// is the same for every format and only adds noise. The whole batch's rate is shown beside it.
//
// The driver's polls sleep in the device's time, so the speed does not make them miss sheets;
// what the speed does magnify is the host's real cost of each register access through the
// server (shared_scanner_benchmark), which the device sees as a slower host: the scanner's own
// pace in device time is lower at speed 20 than at 4, for every format alike.
//
//   mirt_batch_benchmark [sheets] [speed] [rounds]   (default 20, 20 and 3; grey 200 dpi, whole bed)
//
// The exit status is 1 when a batch did not scan every sheet.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/process.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

// A command started and left running; its output is collected when it is finished with.
FILE* Start(const std::string& command) { return popen((command + " 2>&1").c_str(), "r"); }

std::string Finish(FILE* pipe) {
    std::string out;
    if (pipe == nullptr) return out;
    std::array<char, 4096> chunk{};
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.append(chunk.data(), n);
    pclose(pipe);
    return out;
}

std::string Run(const std::string& command) { return Finish(Start(command)); }

struct Figures {
    int pages = 0;
    double cpuMsPerPage = 0;
    double seconds = 0;
    double batchRate = 0;   // pages per minute over the whole batch
    double steadyRate = 0;  // pages per minute from the first page to the last
};

bool Parse(const std::string& output, Figures& f) {
    const std::size_t at = output.find("writer: ");
    return at != std::string::npos &&
           std::sscanf(output.c_str() + at,
                       "writer: %d page(s), %lf ms of CPU per page; %lf s, %lf pages per minute; %lf pages per minute",
                       &f.pages, &f.cpuMsPerPage, &f.seconds, &f.batchRate, &f.steadyRate) == 5;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

struct Case {
    const char* name;
    const char* arguments;
};

const Case kCases[] = {{"scanner", "--discard"}, {"bmp", "-f bmp"}, {"png", "-f png"}, {"tiff", "-f tiff"},
                       {"pdf", "-f pdf"}};

class Bench {
public:
    Bench(int sheets, double speed) : sheets_(sheets), speed_(speed) {
        dir_ = fs::temp_directory_path() / ("mirt-batch-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "tmp");
        reference_ = std::string(MIRT_DATA_DIR) + "/virtual/reference.ini";
        env_ = "cd '" + dir_.string() + "' && env MIRT_STATE_DIR='" + (dir_ / "tmp").string() + "' ";
    }
    ~Bench() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string calibrate() const {
        return Run(env_ + "MIRT_VIRTUAL_PRIVATE=1 MIRT_VIRTUAL_SCANNER='" + reference_ + "' '" + mirt() +
                   "' calibrate --load-calibration-sheet");
    }

    // One batch on a device of its own, started and left running.
    FILE* startBatch(const Case& c, int sheets, const std::string& tag) {
        const fs::path config = dir_ / (tag + ".ini");
        fs::copy_file(reference_, config, fs::copy_options::overwrite_existing);
        using ordavel::platform::WriteProfileString;
        WriteProfileString(config.string(), "Feeder", "Sheets", std::to_string(sheets));
        WriteProfileString(config.string(), "Faults", "Count", "0");
        WriteProfileString(config.string(), "Sharing", "Speed", std::to_string(speed_));
        // Each device's server leaves soon after its batch instead of idling beside the next.
        WriteProfileString(config.string(), "Sharing", "Idle_Ms", "200");
        for (int i = 1; i <= sheets; ++i) {
            WriteProfileString(config.string(), "Sheet " + std::to_string(i), "Page", i % 2 != 0 ? "chart" : "document");
        }
        return Start(env_ + "MIRT_VIRTUAL_SCANNER='" + config.string() + "' '" + mirt() + "' scan " + c.arguments +
                     " --writer-stats -o '" + (dir_ / tag).string() + "'");
    }

    // The batch's figures; false (with mirt's output) when it gave none.
    bool finishBatch(FILE* running, const std::string& tag, Figures& f, std::string& output) {
        output = Finish(running);
        std::error_code ec;
        fs::remove_all(dir_ / tag, ec);
        return Parse(output, f);
    }

    int sheets() const { return sheets_; }

private:
    static std::string mirt() { return ordavel::platform::ExecutableDirectory() + "/mirt"; }

    int sheets_;
    double speed_;
    fs::path dir_;
    std::string reference_;
    std::string env_;
};

}  // namespace

int main(int argc, char** argv) {
    const int sheets = argc > 1 ? std::atoi(argv[1]) : 20;
    const double speed = argc > 2 ? std::atof(argv[2]) : 20.0;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    Bench bench(sheets, speed);
    const std::string calibration = bench.calibrate();
    std::printf("mirt batch of %d sheets, shared virtual scanner at %g x real time, median of %d round(s)\n", sheets,
                speed, rounds);
    std::fflush(stdout);

    Figures warm;
    std::string output;
    if (!bench.finishBatch(bench.startBatch(kCases[0], std::min(sheets, 3), "warm-up"), "warm-up", warm, output)) {
        std::printf("the warm-up batch failed:\n%s%s\n", calibration.c_str(), output.c_str());
        return 1;
    }
    std::map<std::string, std::vector<Figures>> runs;
    bool complete = true;
    for (int round = 0; round < rounds; ++round) {
        std::vector<FILE*> running;
        for (const Case& c : kCases) running.push_back(bench.startBatch(c, sheets, std::string(c.name) + "-" + std::to_string(round)));
        for (std::size_t k = 0; k < std::size(kCases); ++k) {
            const Case& c = kCases[k];
            Figures f;
            if (!bench.finishBatch(running[k], std::string(c.name) + "-" + std::to_string(round), f, output)) {
                std::printf("%s, round %d, failed:\n%s\n", c.name, round + 1, output.c_str());
                complete = false;
                continue;
            }
            if (f.pages != sheets) {
                std::printf("%s, round %d: %d of %d sheets scanned\n", c.name, round + 1, f.pages, sheets);
                complete = false;
            }
            std::printf("  round %d %-8s %7.2f pages/min after the first, %7.2f over the batch\n", round + 1, c.name,
                        f.steadyRate, f.batchRate);
            std::fflush(stdout);
            runs[c.name].push_back(f);
        }
    }

    std::printf("%-8s %6s %11s %8s %11s %11s %11s\n", "format", "pages", "pages/min", "spread", "vs scanner",
                "whole batch", "writer CPU");
    const auto steadyOf = [&](const std::string& name) {
        std::vector<double> values;
        for (const Figures& f : runs[name]) values.push_back(f.steadyRate);
        return values;
    };
    const double scannerRate = Median(steadyOf("scanner"));
    double worst = 0;
    for (const Case& c : kCases) {
        const auto& list = runs[c.name];
        if (list.empty()) continue;
        const std::vector<double> steady = steadyOf(c.name);
        std::vector<double> batch, cpu;
        for (const Figures& f : list) {
            batch.push_back(f.batchRate);
            cpu.push_back(f.cpuMsPerPage);
        }
        const double rate = Median(steady);
        const auto [low, high] = std::minmax_element(steady.begin(), steady.end());
        const double versus = scannerRate > 0 ? 100.0 * (rate - scannerRate) / scannerRate : 0;
        worst = std::max(worst, std::abs(versus));
        std::printf("%-8s %6d %11.2f %7.1f%% %10.1f%% %11.2f %8.2f ms\n", c.name, list.front().pages, rate,
                    rate > 0 ? 100.0 * (*high - *low) / rate : 0, versus, Median(batch), Median(cpu));
    }
    std::printf("largest difference from the scanner's own pace: %.1f%%\n", worst);
    return complete ? 0 : 1;
}
