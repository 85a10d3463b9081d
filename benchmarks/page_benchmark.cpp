// Page benchmark: scans the reference page through the driver's exported operations against the
// virtual scanner and reports, per page, the virtual time beside the physical floor, the driver's
// CPU time beside a memcpy of the page's bytes, and the peak memory of the process.
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
#include "virtual/virtual_backend.h"

namespace fs = std::filesystem;
using namespace ordavel;

namespace {

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The driver's clock: virtual time, with the time the driver spends sleeping counted apart.
class CountingClock final : public platform::Clock {
public:
    explicit CountingClock(std::shared_ptr<platform::VirtualClock> clock) : clock_(std::move(clock)) {}
    uint32_t tickCount() override { return clock_->tickCount(); }
    uint64_t microseconds() override { return clock_->microseconds(); }
    void sleep(uint32_t ms) override {
        slept_ms += ms;
        clock_->sleep(ms);
    }
    uint64_t slept_ms = 0;

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
    std::unique_ptr<DriverContext> ctx;
};

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
    auto backend = virtual_scanner::MakeVirtualScannerBackend(config, rig.virtualClock, error);
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

void Report(const char* label, const std::vector<PageFigures>& pages) {
    PageFigures sum;
    for (const auto& p : pages) {
        sum.virtualSeconds += p.virtualSeconds, sum.sleptSeconds += p.sleptSeconds;
        sum.cpuSeconds += p.cpuSeconds, sum.modelCpuSeconds += p.modelCpuSeconds;
        sum.reads += p.reads, sum.bytes += p.bytes;
    }
    const double n = static_cast<double>(pages.size());
    // Paper travel at the programmed step rate: 1892 window lines at one full step per line,
    // a full step lasting 4 x 503 pixel periods of 1 us.
    const double travel = 1892 * 4 * 503 * 1e-6;
    const double bytes = static_cast<double>(sum.bytes) / n;
    const double driverCpu = (sum.cpuSeconds - sum.modelCpuSeconds) / n;
    std::printf("%s (%zu pages, %.0f bytes each)\n", label, pages.size(), bytes);
    // The driver's sleeps mostly overlap the paper's travel (it sleeps while the motor runs);
    // the one wait that cannot overlap is the transfer-rate probe of a second before each sheet.
    const double probe = 1.0;
    std::printf("  virtual time per page   %8.2f s   physical floor %.2f s (travel %.2f s + probe %.2f s); "
                "the driver slept %.2f s of it\n",
                sum.virtualSeconds / n, travel + probe, travel, probe, sum.sleptSeconds / n);
    std::printf("  driver CPU per page     %8.2f ms  memcpy of the page %.2f ms (%.1fx)\n", driverCpu * 1e3,
                MemcpySeconds(static_cast<std::size_t>(bytes)) * 1e3,
                driverCpu / MemcpySeconds(static_cast<std::size_t>(bytes)));
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
        std::vector<uint8_t> image;
        for (int i = 0; i < pages; ++i) {
            PageFigures f;
            if (!ScanPage(rig, enlarged, image, f)) {
                std::fprintf(stderr, "scan failed: %s\n", rig.ctx->record.messageText);
                status = 1;
                break;
            }
            figures.push_back(f);
            int32_t empty = 1;
            if (i + 1 < pages && (interface::ScanFeedPaper(*rig.ctx) != 0 || interface::ScanPaperEmpty(*rig.ctx, &empty) != 0)) {
                std::fprintf(stderr, "feed failed: %s\n", rig.ctx->record.messageText);
                status = 1;
                break;
            }
        }
        interface::ScanStop(*rig.ctx);
        if (!figures.empty()) Report(enlarged ? "grey, 300 dpi (enlarged from 200)" : "grey, 200 dpi", figures);
    }
    std::printf("peak memory %ld KiB\n", platform::PeakMemoryKiB());
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
