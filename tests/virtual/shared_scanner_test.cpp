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
#include "platform/local_socket.h"
#include "platform/profile.h"
#include "tests/support/shared_scanner_bench.h"
#include "tests/support/test_paths.h"

namespace ordavel::test {
namespace {

namespace fs = std::filesystem;
using virtual_scanner::ScanRecord;

std::string ServerProgram() { return BinaryDir() + "/bin/mirt-virtual-scanner"; }

bool ProcessAlive(long pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0; }

// Waits (at most `ms`) until no server owns the configuration: its lock file is gone (a server
// that left removes it) or free (the system frees it when a killed server's process ends,
// before the process is reaped; the probe then removes it).
bool ServerGone(const SharedScannerBench& bench, int ms) {
    for (int waited = 0;; waited += 20) {
        if (!fs::exists(bench.address().lockPath)) return true;
        platform::InstanceLock probe;
        if (probe.tryAcquire(bench.address().lockPath)) {
            probe.releaseAndRemove();
            return true;
        }
        if (waited >= ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool SheetScanned(const ScanRecord& scan, int sheet) {
    return std::any_of(scan.lines.begin(), scan.lines.end(), [&](const auto& l) { return l.sheet == sheet; });
}

TEST(SharedScanner, TwoProgramsShareOneFeederAndTheTimeFollowsTheSpeed) {
    // Fast enough for a quick test, slow enough that a busy machine's scheduling delays stay
    // small in device time (the feed's polls see the paper where they would on the hardware).
    constexpr double kSpeed = 10;
    SharedScannerBench bench({"chart", "document", "chart"}, kSpeed);

    // Program A scans one sheet and leaves the rest in the feeder.
    const ProgramRun a = bench.mirt("scan --single --page narrow -o a");
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
    const ProgramRun b = bench.mirt("scan --page narrow -o b");
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

// The device is the configuration file: any path or link to it names the same socket, another
// file another one, all in the user's private folder.
TEST(SharedScanner, TheAddressFollowsTheConfigurationFile) {
    const std::string folder = MakeScratchDir("address");
    fs::copy_file(DataDir() + "/virtual/reference.ini", folder + "/one.ini");
    fs::copy_file(DataDir() + "/virtual/reference.ini", folder + "/two.ini");
    fs::create_symlink(folder + "/one.ini", folder + "/link.ini");
    std::string error;
    virtual_scanner::SharedScannerAddress one, viaLink, viaDots, two, missing;
    ASSERT_TRUE(virtual_scanner::SharedScannerAddressFor(folder + "/one.ini", one, error)) << error;
    ASSERT_TRUE(virtual_scanner::SharedScannerAddressFor(folder + "/link.ini", viaLink, error)) << error;
    ASSERT_TRUE(virtual_scanner::SharedScannerAddressFor(folder + "/../" + fs::path(folder).filename().string() + "/one.ini",
                                                         viaDots, error)) << error;
    ASSERT_TRUE(virtual_scanner::SharedScannerAddressFor(folder + "/two.ini", two, error)) << error;
    EXPECT_EQ(viaLink.socketPath, one.socketPath);
    EXPECT_EQ(viaDots.socketPath, one.socketPath);
    EXPECT_NE(two.socketPath, one.socketPath);
    EXPECT_FALSE(virtual_scanner::SharedScannerAddressFor(folder + "/none.ini", missing, error));
    const auto mode = fs::status(fs::path(one.socketPath).parent_path()).permissions();
    EXPECT_EQ(mode & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    fs::remove_all(folder);
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
    EXPECT_TRUE(b->lock(20000));  // a wide window: a busy machine may run the releaser late
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
    EXPECT_TRUE(b->lock(20000)) << "the dead holder's lock went with its connection";
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
    // Idle long enough for the test to read who serves before it leaves.
    const ProgramRun status =
        bench.mirt("status", "MIRT_VIRTUAL_SERVER='" + ServerProgram() + "' MIRT_VIRTUAL_IDLE_MS=1500");
    EXPECT_EQ(status.exitCode, 0) << status.output;
    EXPECT_NE(status.output.find("a sheet is ready"), std::string::npos) << status.output;
    const long started = bench.serverPid();
    ASSERT_GT(started, 0) << "mirt started the server";
    EXPECT_TRUE(ServerGone(bench, 10000)) << "the server leaves once idle";
    EXPECT_FALSE(fs::exists(bench.address().socketPath)) << "and leaves nothing behind";
    EXPECT_FALSE(fs::exists(bench.address().lockPath));

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

// What the device cannot serve is said, and ends no one else's use of it: a configuration the
// server cannot load is refused with the loading error; a missing server program leaves the
// scanner unlisted with the reason; a client that breaks the framing loses only its connection.
TEST(SharedScanner, RefusesWhatItCannotServeAndSaysWhy) {
    SharedScannerBench unserved({"chart"}, 10, /*serve=*/false);
    platform::WriteProfileString(unserved.config(), "Sensor", "Image_Pixels", "many");
    std::string error;
    virtual_scanner::SharedScannerStart start;
    start.serverProgram = ServerProgram();
    EXPECT_FALSE(virtual_scanner::ConnectSharedScanner(unserved.config(), start, error));
    EXPECT_NE(error.find("Image_Pixels"), std::string::npos) << error;
    EXPECT_TRUE(ServerGone(unserved, 10000)) << "a refusing server does not linger";

    const ProgramRun noServer = unserved.mirt("status", "MIRT_VIRTUAL_SERVER='" + unserved.folder() + "/none'");
    EXPECT_EQ(noServer.exitCode, 3) << noServer.output;
    EXPECT_NE(noServer.output.find("virtual scanner " + unserved.config()), std::string::npos) << noServer.output;

    SharedScannerBench bench({"chart"}, 10);
    auto rogue = platform::ConnectLocalSocket(bench.address().socketPath, error);
    ASSERT_TRUE(rogue.valid()) << error;
    const std::vector<uint8_t> oversized{5, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(rogue.sendAll(oversized, 1000), platform::SocketWait::Ok);
    std::vector<uint8_t> nothing(1);
    EXPECT_EQ(rogue.receiveAll(nothing, 5000), platform::SocketWait::Closed);
    auto connection = bench.connect();
    ASSERT_TRUE(connection.backend);
    EXPECT_EQ(connection.backend->devices().size(), 1u) << "the server goes on serving the others";
}

}  // namespace
}  // namespace ordavel::test
