// The server that owns one virtual scanner for every process of the user that opens its
// configuration: one feeder and paper path, one device lock, one time.
//
// Time: the model runs on real time scaled by the configuration's speed. Before each request the
// model is brought up to the scaled present; a transfer then costs what the model says (USB
// frames, a data-port read waiting for lines), and its answer is held back until that much scaled
// real time has passed, so no process sees the device faster than it runs. Clients keep the same
// time with a ScaledRealClock on the origin and speed the server announces.
//
// The device lock belongs to a connection: a second connection waits up to the requested
// timeout (device time, so 2000 ms are 2000/speed real ms) and fails after it; a connection that
// closes (its process ended or died) gives the lock up.
//
// Each connection is served on a thread of its own; the model is used by one at a time. The
// server ends on a Stop request, or once no client has been connected for the idle time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/local_socket.h"
#include "virtual/shared_scanner_address.h"
#include "virtual/shared_scanner_protocol.h"

namespace ordavel::virtual_scanner {

class VirtualScanner;

struct SharedServerOverrides {
    std::optional<double> speed;     // else the configuration's [Sharing] Speed
    std::optional<uint32_t> idleMs;  // else its [Sharing] Idle_Ms
    bool exitWhenIdle = true;
};

class SharedScannerServer {
public:
    // Owns the configuration's address and starts listening. Null with `alreadyRunning` when
    // another server owns it, or with `error` when it cannot listen. A configuration that does
    // not load still gives a server: it answers every greeting with the loading error, so the
    // process that started it can say why, and ends when idle.
    static std::unique_ptr<SharedScannerServer> Open(const std::string& configPath,
                                                     const SharedServerOverrides& overrides, std::string& error,
                                                     bool& alreadyRunning);
    ~SharedScannerServer();
    SharedScannerServer(const SharedScannerServer&) = delete;
    SharedScannerServer& operator=(const SharedScannerServer&) = delete;

    // Serves until stopped or idle; then closes every connection and the address.
    void run();
    // Ends run() from another thread.
    void stop() { stopping_ = true; }

    const SharedScannerAddress& address() const { return address_; }
    const wire::Announcement& announcement() const { return announcement_; }
    // The model, for a server run inside a test that watches it; null when loading failed.
    std::shared_ptr<VirtualScanner> scanner() const { return scanner_; }

private:
    struct Connection {
        uint64_t id = 0;
        platform::LocalSocket socket;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    struct Answer {
        wire::Result result = wire::Result::Ok;
        std::vector<uint8_t> payload;
    };

    SharedScannerServer() = default;
    void serve(Connection& connection);
    Answer handle(Connection& connection, const wire::Message& request);
    Answer transfer(const wire::Message& request);
    bool takeLock(uint64_t id, uint32_t timeoutMs);
    bool giveLock(uint64_t id);
    uint64_t deviceNow() const;
    void bringModelToNow();  // with modelMutex_ held
    void waitForDeviceTime(uint64_t deviceMicros) const;
    void reapFinished();

    SharedScannerAddress address_;
    platform::InstanceLock ownership_;
    platform::LocalListener listener_;
    wire::Announcement announcement_;
    std::string loadError_;
    SharedServerOverrides overrides_;
    uint32_t idleMs_ = 5000;

    std::shared_ptr<platform::VirtualClock> clock_;
    std::shared_ptr<VirtualScanner> scanner_;
    std::mutex modelMutex_;

    std::mutex lockMutex_;
    std::condition_variable lockReleased_;
    uint64_t lockOwner_ = 0;  // connection id; 0 = free

    std::atomic<bool> stopping_{false};
    std::list<Connection> connections_;
    uint64_t nextId_ = 1;
};

}  // namespace ordavel::virtual_scanner
