// Page benchmark: scans the reference page through the driver's exported operations against the
// virtual scanner and reports, per page, the virtual time beside the physical floor, the driver's
// CPU time beside a memcpy of the page's bytes, and the peak memory of the process. The first
// page (which waits for the lamp to warm up) and the later pages are reported apart.
//
// The physical floor of a page is what its programmed motion needs, taken from the registers the
// driver programmed when each motion started: a move (feed, positioning) lasts its steps at the
// fast-feed step period, a scan its skip steps at the fast-feed step period and then the longer
// of its lines at the line period and its remaining steps at the scan step period. To that come
// the driver's fixed waits (lamp warm-up, the read step's second, the feed's half second before
// stopping, the programming pause) where they do not overlap motion. Polling sleeps are not
// floor: they are the driver waiting for the device.
//
//   page_benchmark [pages]      (default 5; grey 200 dpi and 300 dpi enlarged, narrow window)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>


#include "driver/interface/driver_context.h"
#include "driver/interface/export_operations.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "virtual/observation.h"
#include "virtual/register_map.h"
#include "virtual/scan_settings.h"
#include "virtual/timebase.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace fs = std::filesystem;
using namespace ordavel;

namespace {

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Interval {
    uint64_t startUs = 0, endUs = 0;
};

// The driver's clock: virtual time, with the time the driver spends sleeping counted apart and
// each sleep kept.
class CountingClock final : public platform::Clock {
public:
    explicit CountingClock(std::shared_ptr<platform::VirtualClock> clock) : clock_(std::move(clock)) {}
    uint32_t tickCount() override { return clock_->tickCount(); }
    uint64_t microseconds() override { return clock_->microseconds(); }
    void sleep(uint32_t ms) override {
        slept_ms += ms;
        const uint64_t start = clock_->microseconds();
        clock_->sleep(ms);
        sleeps.push_back({start, clock_->microseconds()});
    }
    uint64_t slept_ms = 0;
    std::vector<Interval> sleeps;

private:
    std::shared_ptr<platform::VirtualClock> clock_;
};

// A pipe that measures the CPU the virtual scanner spends answering, so the driver's own share
// can be told apart from the model's.
struct ModelCpu {
    double seconds = 0;
};

class TimedPipe final : public platform::RawPipe {
public:
    TimedPipe(std::unique_ptr<platform::RawPipe> inner, ModelCpu& cpu) : inner_(std::move(inner)), cpu_(cpu) {}
    bool lock(uint32_t t) override { return timed([&] { return inner_->lock(t); }); }
    bool unlock() override { return timed([&] { return inner_->unlock(); }); }
    bool write(std::span<const uint8_t> d) override { return timed([&] { return inner_->write(d); }); }
    bool read(std::span<uint8_t> b, std::size_t& n) override { return timed([&] { return inner_->read(b, n); }); }

private:
    template <typename F>
    bool timed(F f) {
        const double start = CpuSeconds();
        const bool ok = f();
        cpu_.seconds += CpuSeconds() - start;
        return ok;
    }
    std::unique_ptr<platform::RawPipe> inner_;
    ModelCpu& cpu_;
};

class TimedBackend final : public platform::DeviceBackend {
public:
    TimedBackend(std::shared_ptr<platform::DeviceBackend> inner, ModelCpu& cpu) : inner_(std::move(inner)), cpu_(cpu) {}
    std::vector<platform::DeviceInfo> devices() override { return inner_->devices(); }
    std::unique_ptr<platform::RawPipe> open(const std::string& name) override {
        auto pipe = inner_->open(name);
        return pipe ? std::make_unique<TimedPipe>(std::move(pipe), cpu_) : nullptr;
    }

private:
    std::shared_ptr<platform::DeviceBackend> inner_;
    ModelCpu& cpu_;
};

struct Rig {
    std::shared_ptr<platform::VirtualClock> virtualClock = std::make_shared<platform::VirtualClock>();
    std::shared_ptr<CountingClock> clock = std::make_shared<CountingClock>(virtualClock);
    ModelCpu model;
    std::shared_ptr<virtual_scanner::VirtualScanner> scanner;
    std::unique_ptr<DriverContext> ctx;
};

// The waits the driver prescribes, as opposed to its polling sleeps: the lamp warm-up, the read
// step's second, the feed's half second before it stops the motor, the pause after programming.
bool IsFixedWait(const Interval& sleep) {
    const uint64_t ms = (sleep.endUs - sleep.startUs + 500) / 1000;
    return ms == 10000 || ms == 1000 || ms == 500 || ms == 2;
}

double Seconds(virtual_scanner::Ticks ticks) { return static_cast<double>(ticks) / virtual_scanner::kTicksPerMicrosecond / 1e6; }

// The part of `span` inside [from, to) that none of `covered` overlaps, in microseconds.
uint64_t UncoveredUs(Interval span, uint64_t from, uint64_t to, const std::vector<Interval>& covered) {
    span.startUs = std::max(span.startUs, from);
    span.endUs = std::min(span.endUs, to);
    if (span.endUs <= span.startUs) return 0;
    std::vector<Interval> cuts;
    for (const Interval& c : covered) {
        const uint64_t a = std::max(c.startUs, span.startUs), b = std::min(c.endUs, span.endUs);
        if (a < b) cuts.push_back({a, b});
    }
    std::sort(cuts.begin(), cuts.end(), [](const Interval& x, const Interval& y) { return x.startUs < y.startUs; });
    uint64_t free = 0, at = span.startUs;
    for (const Interval& c : cuts) {
        if (c.startUs > at) free += c.startUs - at;
        at = std::max(at, c.endUs);
    }
    return free + (span.endUs > at ? span.endUs - at : 0);
}

struct Floor {
    double motion = 0, waits = 0;
    double total() const { return motion + waits; }
};

// The physical floor of the virtual time from `fromUs` to `toUs` (see the top of the file).
Floor PhysicalFloor(Rig& rig, uint64_t fromUs, uint64_t toUs) {
    using namespace virtual_scanner;
    const Observations& seen = rig.scanner->observations();
    RegisterFile registers;
    std::size_t nextWrite = 0;
    std::size_t nextScan = 0;
    std::vector<Interval> motion;
    Floor floor;
    for (const MotorRun& run : seen.motorRuns) {
        const uint64_t endUs = run.running ? toUs : run.endUs;
        // The registers as programmed when this motion started.
        for (; nextWrite < seen.registerWrites.size() && seen.registerWrites[nextWrite].timeUs <= run.startUs; ++nextWrite) {
            registers.set(seen.registerWrites[nextWrite].address, seen.registerWrites[nextWrite].value);
        }
        const ScanRecord* scan = nullptr;
        if (run.command == command::kScan) {
            while (nextScan < seen.scans.size() && seen.scans[nextScan].startUs < run.startUs) ++nextScan;
            if (nextScan < seen.scans.size()) scan = &seen.scans[nextScan];
        }
        motion.push_back({run.startUs, endUs});
        if (run.startUs < fromUs || run.startUs >= toUs) continue;
        const Timing timing = ComputeTiming(registers);
        double needed = 0;
        if (scan != nullptr) {
            const ScanSettings settings = LatchScanSettings(registers);
            const auto skip = std::min<int64_t>(run.steps, settings.skipSteps);
            const double stepping = Seconds(static_cast<Ticks>(run.steps - skip) * timing.scanStepPeriod);
            const double lines = Seconds(scan->lines.size() * timing.linePeriod);
            needed = Seconds(static_cast<Ticks>(skip) * timing.fastStepPeriod) + std::max(stepping, lines);
        } else {
            needed = Seconds(static_cast<Ticks>(run.steps) * timing.fastStepPeriod);
        }
        // A motion still running when the page ends counts for its part inside the page.
        const uint64_t measured = endUs - run.startUs;
        const uint64_t inside = std::min(endUs, toUs) - run.startUs;
        floor.motion += measured == 0 ? needed : needed * static_cast<double>(inside) / static_cast<double>(measured);
    }
    for (const Interval& sleep : rig.clock->sleeps) {
        if (IsFixedWait(sleep)) floor.waits += static_cast<double>(UncoveredUs(sleep, fromUs, toUs, motion)) / 1e6;
    }
    return floor;
}

std::string WriteScannerConfig(const fs::path& dir, const char* name, const std::vector<std::string>& pages) {
    const fs::path config = dir / name;
    fs::copy_file(fs::path(MIRT_DATA_DIR) / "virtual" / "reference.ini", config, fs::copy_options::overwrite_existing);
    platform::WriteProfileString(config.string(), "Feeder", "First_Sheet", "Ready");
    platform::WriteProfileString(config.string(), "Feeder", "Sheets", std::to_string(pages.size()));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        platform::WriteProfileString(config.string(), "Sheet " + std::to_string(i + 1), "Page", pages[i]);
    }
    return config.string();
}

bool MakeRig(Rig& rig, const fs::path& dir, const std::string& config) {
    std::string error;
    rig.scanner = virtual_scanner::LoadVirtualScanner(config, rig.virtualClock, error);
    auto backend = virtual_scanner::MakeVirtualScannerBackend(rig.scanner);
    if (!backend) {
        std::fprintf(stderr, "virtual scanner: %s\n", error.c_str());
        return false;
    }
    DriverEnvironment env;
    env.clock = rig.clock;
    env.devices = std::make_shared<platform::DeviceList>();
    env.devices->addBackend(std::make_shared<TimedBackend>(backend, rig.model));
    env.tempDirectory = (dir / "tmp").string();
    env.workingDirectory = dir.string();
    rig.ctx = std::make_unique<DriverContext>(std::move(env));
    interface::AttachLibrary(*rig.ctx, nullptr);
    return true;
}

ScanRequest PageRequest(DriverContext& ctx, bool enlarged) {
    ScanRequest r{};
    interface::ScanGetScanParams(ctx, &r);
    r.bedLeft = 0, r.bedTop = 0, r.bedRight = 1680, r.bedBottom = 2340;
    r.scanRectLeft = 284, r.scanRectTop = 0, r.scanRectRight = 1384, r.scanRectBottom = 1892;
    r.pixelType = 1, r.bitDepth = 8, r.xResolution = 200, r.yResolution = 200;
    r.interpolate = 0, r.reserved2 = 0;
    r.res = enlarged ? 1 : 0, r.imageWidth = 1650, r.imageHeight = 2838;
    r.lineOrder = 1;
    return r;
}

struct PageFigures {
    double virtualSeconds = 0, sleptSeconds = 0, cpuSeconds = 0, modelCpuSeconds = 0;
    Floor floor;
    int reads = 0;
    std::size_t bytes = 0;
};

bool ScanPage(Rig& rig, bool enlarged, std::vector<uint8_t>& image, PageFigures& f) {
    DriverContext& ctx = *rig.ctx;
    const uint64_t t0 = rig.virtualClock->microseconds();
    const uint64_t s0 = rig.clock->slept_ms;
    const double cpu0 = CpuSeconds(), model0 = rig.model.seconds;
    ScanRequest r = PageRequest(ctx, enlarged);
    if (interface::ScanSetScanParams(ctx, &r, nullptr) != 0) return false;
    ScanInfo info{};
    interface::ScanGetScanInfo(ctx, &info);
    const std::size_t size = enlarged ? std::size_t{2838} * 1652 : static_cast<std::size_t>(info.totalBytes);
    image.assign(size, 0);
    if (interface::ScanStart(ctx) != 0) return false;
    std::size_t offset = 0;
    for (;;) {
        int32_t got = 0;
        const int32_t ask = static_cast<int32_t>(std::min<std::size_t>(65536, size - offset));
        const int32_t rc = interface::ScanRead(ctx, image.data() + offset, ask, &got);
        ++f.reads;
        if (rc == 1) return false;
        offset += static_cast<std::size_t>(std::max(got, 0));
        if (rc == 2 || offset >= size) break;
    }
    f.virtualSeconds = static_cast<double>(rig.virtualClock->microseconds() - t0) / 1e6;
    f.sleptSeconds = static_cast<double>(rig.clock->slept_ms - s0) / 1e3;
    f.cpuSeconds = CpuSeconds() - cpu0;
    f.modelCpuSeconds = rig.model.seconds - model0;
    f.bytes = offset;
    f.floor = PhysicalFloor(rig, t0, rig.virtualClock->microseconds());
    return true;
}

double MemcpySeconds(std::size_t bytes) {
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    constexpr int kRounds = 50;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        std::memcpy(to.data(), from.data(), bytes);
        from[static_cast<std::size_t>(i) % bytes] ^= to[bytes - 1];  // keep the copies alive
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRounds;
}

// One line of figures for a group of pages: their average virtual time beside their floor.
void ReportTimes(const char* which, const std::vector<PageFigures>& pages) {
    if (pages.empty()) return;
    const double n = static_cast<double>(pages.size());
    double time = 0, motion = 0, waits = 0, slept = 0;
    for (const auto& p : pages) {
        time += p.virtualSeconds, motion += p.floor.motion, waits += p.floor.waits, slept += p.sleptSeconds;
    }
    time /= n, motion /= n, waits /= n, slept /= n;
    std::printf("  %-12s %zu x  virtual time %6.2f s  physical floor %6.2f s (motion %.2f s + fixed waits %.2f s)"
                "  ratio %.2f  slept %.2f s\n",
                which, pages.size(), time, motion + waits, motion, waits, time / (motion + waits), slept);
}

void Report(const char* label, const std::vector<PageFigures>& pages, const std::vector<PageFigures>& feeds) {
    PageFigures sum;
    for (const auto& p : pages) {
        sum.cpuSeconds += p.cpuSeconds, sum.modelCpuSeconds += p.modelCpuSeconds;
        sum.bytes += p.bytes;
    }
    const double n = static_cast<double>(pages.size());
    const double bytes = static_cast<double>(sum.bytes) / n;
    const double driverCpu = (sum.cpuSeconds - sum.modelCpuSeconds) / n;
    std::printf("%s (%zu pages, %.0f bytes each)\n", label, pages.size(), bytes);
    // The first page waits for the lamp; the later ones show the steady rate of a batch.
    ReportTimes("first page", {pages.begin(), pages.begin() + 1});
    ReportTimes("later pages", {pages.begin() + 1, pages.end()});
    ReportTimes("feeds", feeds);
    const double copy = MemcpySeconds(static_cast<std::size_t>(bytes));
    std::printf("  driver CPU per page     %8.2f ms  memcpy of the page %.2f ms (%.1fx)\n", driverCpu * 1e3, copy * 1e3,
                driverCpu / copy);
    std::printf("  model CPU per page      %8.2f ms\n", sum.modelCpuSeconds / n * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
    const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / ("mirt-page-benchmark-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir / "tmp");
    for (const char* file : {"Mirt.def", "Mirt9832.dsc"}) {
        fs::copy_file(fs::path(MIRT_DATA_DIR) / file, dir / "tmp" / file, fs::copy_options::overwrite_existing);
    }

    int status = 0;
    {
        Rig calibration;
        if (!MakeRig(calibration, dir, WriteScannerConfig(dir, "calibration.ini", {"white"})) ||
            interface::ScanCalibration(*calibration.ctx) != 0) {
            std::fprintf(stderr, "calibration failed: %s\n", calibration.ctx ? calibration.ctx->record.messageText : "");
            status = 1;
        }
    }
    for (bool enlarged : {false, true}) {
        if (status != 0) break;
        Rig rig;
        std::vector<std::string> sheets(static_cast<std::size_t>(pages), "chart");
        if (!MakeRig(rig, dir, WriteScannerConfig(dir, "feeder.ini", sheets))) {
            status = 1;
            break;
        }
        std::vector<PageFigures> figures;
        std::vector<PageFigures> feeds;
        std::vector<uint8_t> image;
        for (int i = 0; i < pages; ++i) {
            PageFigures f;
            if (!ScanPage(rig, enlarged, image, f)) {
                std::fprintf(stderr, "scan failed: %s\n", rig.ctx->record.messageText);
                status = 1;
                break;
            }
            figures.push_back(f);
            if (i + 1 == pages) break;
            // The feed that brings the next sheet, timed apart from the pages.
            PageFigures feed;
            const uint64_t f0 = rig.virtualClock->microseconds();
            const uint64_t s0 = rig.clock->slept_ms;
            int32_t empty = 1;
            if (interface::ScanFeedPaper(*rig.ctx) != 0 || interface::ScanPaperEmpty(*rig.ctx, &empty) != 0) {
                std::fprintf(stderr, "feed failed: %s\n", rig.ctx->record.messageText);
                status = 1;
                break;
            }
            feed.virtualSeconds = static_cast<double>(rig.virtualClock->microseconds() - f0) / 1e6;
            feed.sleptSeconds = static_cast<double>(rig.clock->slept_ms - s0) / 1e3;
            feed.floor = PhysicalFloor(rig, f0, rig.virtualClock->microseconds());
            feeds.push_back(feed);
        }
        interface::ScanStop(*rig.ctx);
        if (!figures.empty()) Report(enlarged ? "grey, 300 dpi (enlarged from 200)" : "grey, 200 dpi", figures, feeds);
    }
    std::printf("peak memory %ld KiB\n", platform::PeakMemoryKiB());
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
