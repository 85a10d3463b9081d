// How much image data the controller holds: the data counter, read three times in one transfer
// and trusted only when the samples agree, while the paper sensors are watched for the sheet's
// end.
#include <algorithm>
#include <optional>

#include "driver/description/register_programming.h"
#include "driver/device/controller_registers.h"
#include "driver/device/transport.h"
#include "driver/engine/acquisition_steps.h"
#include "driver/engine/controller_wait.h"
#include "driver/engine/sheet_watch.h"
#include "driver/interface/driver_context.h"

namespace ordavel::engine::acquisition {

namespace {

constexpr uint8_t kDataCounter = 0x01;
constexpr uint8_t kResumeLimit = 0x4F;
constexpr int32_t kBigData = 64;         // samples from here on are read at once
constexpr int32_t kSmallPageKiB = 64;    // pages below this are polled until complete
constexpr int32_t kDrainSample = 228;    // what is read once the controller has stopped
constexpr int32_t kMaxRetries = 20;      // 50 ms waits before a big page is read as it is
constexpr int32_t kWaitingData = 32;

// Data is coming in quantity: read it, and let calibration scans keep the controller running.
int32_t BigData(DriverContext& ctx, int32_t v, int32_t& retries) {
    AcquisitionState& a = ctx.engine.acquisition;
    retries = 0;
    a.dataExpected = true;
    if (a.job != ScanJob::Sheet && a.job != ScanJob::Probe) {
        if (!device::WriteRegister(ctx, kResumeLimit, 0)) return -1;
    }
    return v;
}

// One sample when all three agree; nullopt asks for another poll, -1 marks a failure.
std::optional<int32_t> AgreedSample(DriverContext& ctx) {
    std::array<uint8_t, 3> s{};
    if (!ReadCounterSamples(ctx, s)) return -1;
    if (s[0] != s[1] || s[1] != s[2]) return std::nullopt;
    return s[0];
}

// Sensor watch while the sheet still covers paper sensor 1. Sheet scans follow the sheet with
// the sheet watch (which keeps the tail up to the scan line); the other scans end at the tail.
bool WatchSheet(DriverContext& ctx, uint8_t& status) {
    AcquisitionState& a = ctx.engine.acquisition;
    if (!device::ReadRegister(ctx, device::kSensorStatus, status)) return false;
    if (a.job != ScanJob::Sheet && (status & device::kPaperAtSensor1) == 0) {
        a.paperOutSeen = true;
        if ((status & device::kPaperAtSensor2) == 0) {
            ctx.record.feedNeeded = 1;
            a.lastSheet = true;
        }
    }
    uint8_t command = 0;
    if (!device::ReadRegister(ctx, device::kCommand, command)) return false;
    if (command == 0) {
        a.motorRunning = false;
    } else {
        ctx.record.feedNeeded = 1;
    }
    return true;
}

// After the sheet left sensor 1: stop the controller; a next sheet at sensor 1 needs no feed.
bool WatchAfterPaperOut(DriverContext& ctx) {
    if (!device::WriteRegister(ctx, device::kCommand, device::kCommandIdle)) return false;
    uint8_t status = 0;
    if (!device::ReadRegister(ctx, device::kSensorStatus, status)) return false;
    if ((status & device::kPaperAtSensor1) != 0) ctx.record.feedNeeded = 0;
    return true;
}

}  // namespace

bool ReadCounterSamples(DriverContext& ctx, std::array<uint8_t, 3>& samples) {
    return device::ReadBlock(ctx, kDataCounter, samples);
}

std::optional<int32_t> PollAvailability(DriverContext& ctx, int32_t pageKiB) {
    AcquisitionState& a = ctx.engine.acquisition;
    platform::Clock& clock = ctx.clock();
    int32_t retries = 0;
    // Samples that disagree are read again at once, but not for longer than a controller can
    // take to settle: one whose counter never agrees fails the scan as a communication failure.
    // After the first few re-reads each waits a millisecond, so the wait ends on any clock, even
    // one that reads take no time on.
    constexpr int kImmediateRereads = 16;
    std::optional<ControllerWait> disagreeing;
    std::optional<ControllerWait> smallPage;
    int rereads = 0;
    for (;;) {
        // Once the controller has stopped giving data, what is left is read without counting.
        a.amountCounted = a.dataExpected || a.motorRunning;
        if (!a.amountCounted) return kDrainSample;
        const bool afterPaperOut = a.paperOutSeen;
        uint8_t status = 0;
        if (!(afterPaperOut ? WatchAfterPaperOut(ctx) : WatchSheet(ctx, status))) return std::nullopt;
        const std::optional<int32_t> sample = AgreedSample(ctx);
        if (!sample) {
            if (!disagreeing) disagreeing.emplace(ctx);
            if (!disagreeing->goesOn()) return std::nullopt;
            if (++rereads > kImmediateRereads) clock.sleep(1);
            continue;
        }
        disagreeing.reset();
        rereads = 0;
        const int32_t v = *sample;
        if (v < 0) return std::nullopt;
        if (!afterPaperOut && !FollowSheet(ctx, status, v)) return std::nullopt;
        if (v >= kBigData) {
            const int32_t big = BigData(ctx, v, retries);
            return big < 0 ? std::nullopt : std::optional<int32_t>(big);
        }
        if (afterPaperOut) {
            if (pageKiB >= kSmallPageKiB && v > kWaitingData) clock.sleep(50);
            return v;
        }
        if (pageKiB < kSmallPageKiB) {
            if (v >= pageKiB || !a.motorRunning) return v;
            // A small page is all there within the longest move; a controller whose motor runs
            // on and on without it fails the scan instead of being polled for ever.
            if (!smallPage) smallPage.emplace(ctx);
            if (!smallPage->goesOn()) return std::nullopt;
            clock.sleep(100);
            continue;
        }
        if (!a.motorRunning) {
            clock.sleep(10);
            return v;
        }
        clock.sleep(50);
        if (++retries > kMaxRetries) return v;
    }
}

void TakeSample(DriverContext& ctx, int32_t v) {
    AcquisitionState& a = ctx.engine.acquisition;
    if (v >= kBigData) {
        const int32_t units = description::BytesToMemUnits(ctx, v * 1024);
        a.bytesWanted = description::MemUnitsToBytes(ctx, units);
        a.dataExpected = true;
    } else if (v >= 1) {
        a.bytesWanted = v * 1024;
        a.dataExpected = true;
    } else {
        // Nothing to read: the controller has stopped giving data. The previous amount stays.
        a.dataExpected = false;
        a.motorRunning = false;
    }
    a.bytesWanted = std::min(a.bytesWanted, kRingBytes);
}

}  // namespace ordavel::engine::acquisition
