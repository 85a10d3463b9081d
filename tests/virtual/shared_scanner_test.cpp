// One virtual scanner shared by processes: programs that name the same configuration reach one
// feeder, one device lock and one time through its server; the server starts on demand, leaves
// when idle, and neither a killed client nor a dead server hangs anyone.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "tests/support/shared_scanner_bench.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;
using virtual_scanner::ScanRecord;

std::string ServerProgram() { return BinaryDir() + "/bin/mirt-virtual-scanner"; }

bool ProcessAlive(long pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0; }

// Waits (at most `ms`) until no server owns the configuration: its lock is free (the system
// frees it when the server's process ends, before the process is reaped).
bool ServerGone(const SharedScannerBench& bench, int ms) {
    for (int waited = 0;; waited += 20) {
        platform::InstanceLock probe;
        if (probe.tryAcquire(bench.address().lockPath)) return true;
        if (waited >= ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool SheetScanned(const ScanRecord& scan, int sheet) {
    return std::any_of(scan.lines.begin(), scan.lines.end(), [&](const auto& l) { return l.sheet == sheet; });
}

TEST(SharedScanner, TwoProgramsShareOneFeederAndTheTimeFollowsTheSpeed) {
    constexpr double kSpeed = 20;
    SharedScannerBench bench({"chart", "document", "chart"}, kSpeed);

    // Program A scans one sheet and leaves the rest in the feeder.
    const ProgramRun a = bench.mirt("scan --single -o a");
    ASSERT_EQ(a.exitCode, 0) << a.output;
    auto scans = bench.paperScans();
    ASSERT_EQ(scans.size(), 1u);
    const ScanRecord first = scans[0];
    EXPECT_TRUE(SheetScanned(first, 1));
    EXPECT_FALSE(SheetScanned(first, 2));
    const auto pageA = ReadGreyBitmap(bench.folder() + "/a/page001.bmp");
    ASSERT_TRUE(pageA);
    EXPECT_GT(bench.Agreement(*pageA, first, kNarrowWindowLeft), 0.9);

    // The page took device time as modelled, and at least that time divided by the speed in
    // real time: no process sees the device run faster than the speed says.
    const double deviceSeconds = static_cast<double>(first.endUs - first.startUs) / 1e6;
    EXPECT_GT(deviceSeconds, 3.0) << "a page's travel at the modelled motor speed";
    EXPECT_GE(a.realSeconds, deviceSeconds / kSpeed);

    // Program B finds the same device: sheet 1 is where A left it, the others follow.
    const ProgramRun b = bench.mirt("scan -o b");
    ASSERT_EQ(b.exitCode, 0) << b.output;
    scans = bench.paperScans();
    ASSERT_GE(scans.size(), 2u);
    const std::vector<ScanRecord> ofB(scans.begin() + 1, scans.end());
    EXPECT_TRUE(SheetScanned(ofB.front(), 2)) << "B's first page goes on where A's feeder stood";
    EXPECT_TRUE(SheetScanned(ofB.back(), 3));
    for (std::size_t i = 0; i < ofB.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/b/page%03zu.bmp", i + 1);
        const auto page = ReadGreyBitmap(bench.folder() + name);
        ASSERT_TRUE(page) << name;
        EXPECT_GT(bench.Agreement(*page, ofB[i], kNarrowWindowLeft), 0.9) << name;
    }
    EXPECT_FALSE(fs::exists(bench.folder() + "/b/page" + std::to_string(ofB.size() + 1) + ".bmp"));
    for (const auto& sheet : bench.scanner().sheets()) {
        EXPECT_NE(sheet.state, virtual_scanner::SheetState::InTray) << "sheet " << sheet.number << " was fed";
    }
}

// The device lock is one lock across every client of the device, with the driver's timeout in
// device time; a client that dies holding it leaves the device free.
TEST(SharedScanner, OneDeviceLockAcrossClientsWithTheTimeoutAndReleasedWhenAHolderDies) {
    constexpr double kSpeed = 10;
    SharedScannerBench bench({"chart"}, kSpeed);
    auto connection = bench.connect();
    ASSERT_TRUE(connection.backend);
    ASSERT_EQ(connection.announcement.speed, kSpeed);
    const auto devices = connection.backend->devices();
    ASSERT_EQ(devices.size(), 1u);
    auto a = connection.backend->open(devices[0].internalName);
    auto b = connection.backend->open(devices[0].internalName);
    ASSERT_TRUE(a && b);
    platform::ScaledRealClock clock(connection.announcement.speed, connection.announcement.originMicros);

    // Held by A: B waits the 2000 ms of device time, then fails.
    ASSERT_TRUE(a->lock(2000));
    const uint32_t before = clock.tickCount();
    EXPECT_FALSE(b->lock(2000));
    EXPECT_GE(clock.tickCount() - before, 2000u);
    EXPECT_EQ(bench.scanner().observations().counters.lockTimeouts, 1u);
    EXPECT_TRUE(a->lock(2000)) << "the holder may lock again";
    EXPECT_FALSE(b->unlock()) << "only the holder unlocks";

    // B waiting gets the lock as soon as A lets go.
    std::atomic<bool> unlocked{false};
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        unlocked = true;
        a->unlock();
    });
    EXPECT_TRUE(b->lock(2000));
    EXPECT_TRUE(unlocked.load());
    releaser.join();
    ASSERT_TRUE(b->unlock());

    // Another process takes the lock and is killed while it holds it.
    FILE* holder = popen(("exec '" + BinaryDir() + "/bin/mirt-virtual-scanner' --hold-lock 30000 '" + bench.config() + "'").c_str(), "r");
    ASSERT_NE(holder, nullptr);
    long holderPid = 0;
    ASSERT_EQ(std::fscanf(holder, "locked %ld", &holderPid), 1);
    EXPECT_FALSE(b->lock(2000)) << "held by the other process";
    ::kill(static_cast<pid_t>(holderPid), SIGKILL);
    pclose(holder);
    EXPECT_TRUE(b->lock(2000)) << "the dead holder's lock went with its connection";
    EXPECT_TRUE(b->write(std::vector<uint8_t>{0x01, 0x69, 0x00, 0x01})) << "and the device still answers";
    std::vector<uint8_t> version(1);
    std::size_t received = 0;
    EXPECT_TRUE(b->read(version, received));
    EXPECT_EQ(received, 1u);
    EXPECT_EQ(version[0], 4) << "the LM9832's version register";
}

// The programs start the server program when none runs; it leaves once idle. A server that
// dies makes the calls of its clients fail at once; the next open reaches a new one.
TEST(SharedScanner, StartsOnDemandLeavesWhenIdleAndADeadServerFailsItsClientsCleanly) {
    SharedScannerBench bench({"chart", "chart"}, 50, /*serve=*/false);
    const ProgramRun status = bench.mirt("status", "MIRT_VIRTUAL_SERVER='" + ServerProgram() + "'");
    EXPECT_EQ(status.exitCode, 0) << status.output;
    EXPECT_NE(status.output.find("a sheet is ready"), std::string::npos) << status.output;
    const long started = bench.serverPid();
    ASSERT_GT(started, 0) << "mirt started the server";
    EXPECT_TRUE(ServerGone(bench, 10000)) << "the server leaves once idle";
    EXPECT_FALSE(fs::exists(bench.address().socketPath));

    auto connection = bench.connect(ServerProgram());
    ASSERT_TRUE(connection.backend);
    auto pipe = connection.backend->open(connection.backend->devices().at(0).internalName);
    ASSERT_TRUE(pipe && pipe->lock(2000));
    const long server = bench.serverPid();
    ASSERT_TRUE(ProcessAlive(server));
    ::kill(static_cast<pid_t>(server), SIGKILL);
    ASSERT_TRUE(ServerGone(bench, 5000));
    std::size_t received = 0;
    std::vector<uint8_t> buffer(1);
    EXPECT_FALSE(pipe->write(std::vector<uint8_t>{0x01, 0x69, 0x00, 0x01}));
    EXPECT_FALSE(pipe->read(buffer, received));
    EXPECT_FALSE(pipe->unlock());

    // The device comes back (a fresh one: a device switched off and on) on the next open.
    ASSERT_EQ(connection.backend->devices().size(), 1u);
    auto again = connection.backend->open(connection.backend->devices().at(0).internalName);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->lock(2000));
    const long restarted = bench.serverPid();
    EXPECT_NE(restarted, server);
    again.reset();
    pipe.reset();
    connection.backend.reset();
    EXPECT_TRUE(ServerGone(bench, 10000)) << "no server outlives the test";
}

}  // namespace
}  // namespace ordavel::test
