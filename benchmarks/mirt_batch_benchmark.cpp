// mirt batch benchmark: pages per minute of a 20-sheet batch written as BMP, PNG, TIFF and PDF,
// beside the scanner's own pace (the same batch with every page dropped), and the writer
// thread's CPU per page. It runs the built mirt against the shared virtual scanner, whose device
// time runs at its configuration's [Sharing] Speed times real time: in virtual time writing
// would cost nothing and prove nothing. Each format gets a device of its own (a fresh feeder).
//
// The speed defaults to 4: faster, the driver's 10 ms feed polls span so much device travel
// that sheets are missed in the feed (a limit of the scaled model, not of the writer).
//
//   mirt_batch_benchmark [sheets] [speed]      (default 20 and 4; grey 200 dpi, whole bed)
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/process.h"
#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return out;
    std::array<char, 4096> chunk{};
    std::size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.append(chunk.data(), n);
    pclose(pipe);
    return out;
}

struct Figures {
    int pages = 0;
    double cpuMsPerPage = 0;
    double seconds = 0;
    double pagesPerMinute = 0;
};

bool Parse(const std::string& output, Figures& f) {
    const std::size_t at = output.find("writer: ");
    return at != std::string::npos &&
           std::sscanf(output.c_str() + at, "writer: %d page(s), %lf ms of CPU per page; %lf s, %lf pages per minute",
                       &f.pages, &f.cpuMsPerPage, &f.seconds, &f.pagesPerMinute) == 4;
}

}  // namespace

int main(int argc, char** argv) {
    const int sheets = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::string mirt = ordavel::platform::ExecutableDirectory() + "/mirt";
    const fs::path dir = fs::temp_directory_path() / ("mirt-batch-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "tmp");
    const std::string reference = std::string(MIRT_DATA_DIR) + "/virtual/reference.ini";
    const std::string env = "cd '" + dir.string() + "' && env TMPDIR='" + (dir / "tmp").string() + "' ";
    const std::string calibrate = Run(env + "MIRT_VIRTUAL_PRIVATE=1 MIRT_VIRTUAL_SCANNER='" + reference + "' '" + mirt +
                                      "' calibrate --load-calibration-sheet");
    const double speed = argc > 2 ? std::atof(argv[2]) : 4.0;
    std::printf("mirt batch of %d sheets, shared virtual scanner at %.0f x real time\n", sheets, speed);
    std::printf("%-8s %8s %14s %16s %12s\n", "format", "pages", "pages/min", "vs scanner", "writer CPU");
    struct Case {
        const char* name;
        const char* arguments;
    };
    const Case cases[] = {{"scanner", "--discard"}, {"bmp", "-f bmp"}, {"png", "-f png"},
                          {"tiff", "-f tiff"},      {"pdf", "-f pdf"}};
    double scannerRate = 0;
    for (const Case& c : cases) {
        const fs::path config = dir / (std::string(c.name) + ".ini");
        fs::copy_file(reference, config, fs::copy_options::overwrite_existing);
        using ordavel::platform::WriteProfileString;
        WriteProfileString(config.string(), "Feeder", "Sheets", std::to_string(sheets));
        WriteProfileString(config.string(), "Faults", "Count", "0");
        WriteProfileString(config.string(), "Sharing", "Speed", std::to_string(speed));
        for (int i = 1; i <= sheets; ++i) {
            WriteProfileString(config.string(), "Sheet " + std::to_string(i), "Page", i % 2 != 0 ? "chart" : "document");
        }
        const std::string output = Run(env + "MIRT_VIRTUAL_SCANNER='" + config.string() + "' '" + mirt + "' scan " +
                                       c.arguments + " --writer-stats -o '" + (dir / c.name).string() + "'");
        Figures f;
        if (!Parse(output, f)) {
            std::printf("%-8s failed:\n%s%s\n", c.name, calibrate.c_str(), output.c_str());
            continue;
        }
        if (scannerRate == 0) scannerRate = f.pagesPerMinute;
        std::printf("%-8s %8d %14.2f %15.1f%% %9.2f ms\n", c.name, f.pages, f.pagesPerMinute,
                    100.0 * (f.pagesPerMinute - scannerRate) / scannerRate, f.cpuMsPerPage);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
