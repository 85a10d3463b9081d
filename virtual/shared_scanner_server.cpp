// Serving one virtual scanner to its connections.
#include "virtual/shared_scanner_server.h"

#include <algorithm>
#include <chrono>

#include "platform/background_process.h"
#include "virtual/virtual_backend.h"
#include "virtual/virtual_scanner.h"

namespace ordavel::virtual_scanner {

namespace {

// How often idle connections and the listener look at the stop flag.
constexpr uint32_t kPollMs = 100;
// A request's bytes, once its head has arrived, come at once from a live client.
constexpr uint32_t kPeerTimeoutMs = 5000;

wire::Result ResultOf(bool ok) { return ok ? wire::Result::Ok : wire::Result::Failed; }

}  // namespace

std::unique_ptr<SharedScannerServer> SharedScannerServer::Open(const std::string& configPath,
                                                               const SharedServerOverrides& overrides,
                                                               std::string& error, bool& alreadyRunning) {
    alreadyRunning = false;
    std::unique_ptr<SharedScannerServer> server(new SharedScannerServer());
    if (!SharedScannerAddressFor(configPath, server->address_, error)) return nullptr;
    // The lock decides which of several servers started at once serves; the others leave.
    if (!server->ownership_.tryAcquire(server->address_.lockPath)) {
        alreadyRunning = true;
        error = "a server of " + server->address_.configPath + " is running already";
        return nullptr;
    }
    // Whoever looks at the lock file learns which process serves (the tests stop it by it).
    server->ownership_.record(std::to_string(platform::ThisProcessId()) + "\n");
    server->overrides_ = overrides;
    server->clock_ = std::make_shared<platform::VirtualClock>();
    std::string loadError;
    ScannerConfig config;
    if (LoadScannerConfig(server->address_.configPath, config, loadError)) {
        server->scanner_ = VirtualScanner::Create(config, server->clock_, loadError);
    }
    if (!server->scanner_) server->loadError_ = loadError.empty() ? "the virtual scanner cannot be made" : loadError;
    server->announcement_.speed = overrides.speed.value_or(config.sharing.speed);
    server->announcement_.originMicros = platform::MonotonicMicroseconds();
    server->announcement_.manufacturer = config.manufacturer;
    server->announcement_.product = config.product;
    server->idleMs_ = overrides.idleMs.value_or(config.sharing.idleMs);
    if (!server->listener_.listen(server->address_.socketPath, error)) return nullptr;
    return server;
}

SharedScannerServer::~SharedScannerServer() {
    stopping_ = true;
    for (auto& c : connections_) {
        if (c.thread.joinable()) c.thread.join();
    }
}

uint64_t SharedScannerServer::deviceNow() const {
    const uint64_t real = platform::MonotonicMicroseconds() - announcement_.originMicros;
    return static_cast<uint64_t>(static_cast<double>(real) * announcement_.speed);
}

void SharedScannerServer::bringModelToNow() {
    // The model's time only moves forward: a transfer that ran ahead of the present (its
    // answer is still held back) is not undone.
    const uint64_t now = deviceNow();
    if (now > clock_->microseconds()) clock_->advanceMicroseconds(now - clock_->microseconds());
}

void SharedScannerServer::waitForDeviceTime(uint64_t deviceMicros) const {
    for (uint64_t now = deviceNow(); now < deviceMicros; now = deviceNow()) {
        platform::SleepRealMicroseconds(
            static_cast<uint64_t>(static_cast<double>(deviceMicros - now) / announcement_.speed) + 1);
    }
}

void SharedScannerServer::run() {
    auto lastClientSeen = platform::MonotonicMicroseconds();
    while (!stopping_) {
        reapFinished();
        if (auto socket = listener_.accept(kPollMs); socket.valid()) {
            auto& c = connections_.emplace_back();
            c.id = nextId_++;
            c.socket = std::move(socket);
            c.thread = std::thread([this, &c] { serve(c); });
        }
        if (!connections_.empty()) {
            lastClientSeen = platform::MonotonicMicroseconds();
        } else if (overrides_.exitWhenIdle &&
                   platform::MonotonicMicroseconds() - lastClientSeen >= uint64_t{idleMs_} * 1000) {
            break;
        }
    }
    // The address goes first, so that a client arriving now starts a new server instead of
    // reaching one that is leaving.
    listener_.close();
    stopping_ = true;
    lockReleased_.notify_all();
    for (auto& c : connections_) {
        if (c.thread.joinable()) c.thread.join();
    }
    connections_.clear();
    ownership_.release();
}

void SharedScannerServer::reapFinished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->finished) {
            it->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void SharedScannerServer::serve(Connection& connection) {
    while (!stopping_) {
        const auto ready = connection.socket.waitReadable(kPollMs);
        if (ready == platform::SocketWait::TimedOut) continue;
        if (ready != platform::SocketWait::Ok) break;
        wire::Message request;
        if (wire::Receive(connection.socket, request, kPeerTimeoutMs) != platform::SocketWait::Ok) break;
        const Answer answer = handle(connection, request);
        if (wire::Send(connection.socket, static_cast<uint8_t>(answer.result), answer.payload, kPeerTimeoutMs) !=
            platform::SocketWait::Ok) {
            break;
        }
        if (request.kind == static_cast<uint8_t>(wire::Request::Stop)) stopping_ = true;
    }
    // A client that went away, however, leaves the device unlocked.
    giveLock(connection.id);
    connection.socket.close();
    connection.finished = true;
}

SharedScannerServer::Answer SharedScannerServer::handle(Connection& connection, const wire::Message& request) {
    using wire::Request;
    const auto kind = static_cast<Request>(request.kind);
    if (kind == Request::Stop) return {};
    if (!scanner_) return {wire::Result::Refused, std::vector<uint8_t>(loadError_.begin(), loadError_.end())};
    switch (kind) {
        case Request::Hello: {
            if (request.payload.size() < 4 || wire::GetU32(request.payload, 0) != wire::kVersion) {
                const std::string why = "the virtual scanner server speaks another version";
                return {wire::Result::Refused, std::vector<uint8_t>(why.begin(), why.end())};
            }
            return {wire::Result::Ok, wire::EncodeAnnouncement(announcement_)};
        }
        case Request::Present: {
            std::lock_guard guard(modelMutex_);
            bringModelToNow();
            return {wire::Result::Ok, {static_cast<uint8_t>(scanner_->present() ? 1 : 0)}};
        }
        case Request::Lock: {
            if (request.payload.size() != 4) return {wire::Result::Failed, {}};
            bool present = false;
            {
                std::lock_guard guard(modelMutex_);
                bringModelToNow();
                present = scanner_->present();
            }
            if (!present) return {wire::Result::Failed, {}};
            const bool ok = takeLock(connection.id, wire::GetU32(request.payload, 0));
            if (!ok) {
                std::lock_guard guard(modelMutex_);
                scanner_->noteLockTimeout();
            }
            return {ResultOf(ok), {}};
        }
        case Request::Unlock:
            return {ResultOf(giveLock(connection.id)), {}};
        case Request::Write:
        case Request::Read:
            return transfer(request);
        default: {
            const std::string why = "unknown request";
            return {wire::Result::Refused, std::vector<uint8_t>(why.begin(), why.end())};
        }
    }
}

SharedScannerServer::Answer SharedScannerServer::transfer(const wire::Message& request) {
    Answer answer;
    uint64_t doneAt = 0;
    {
        std::lock_guard guard(modelMutex_);
        bringModelToNow();
        bool ok = false;
        if (request.kind == static_cast<uint8_t>(wire::Request::Write)) {
            ok = scanner_->bulkOut(request.payload);
        } else if (request.payload.size() == 4) {
            const uint32_t most = std::min(wire::GetU32(request.payload, 0), wire::kMaxPayload);
            answer.payload.resize(most);
            std::size_t received = 0;
            ok = scanner_->bulkIn(answer.payload, received);
            answer.payload.resize(ok ? received : 0);
        }
        answer.result = ResultOf(ok);
        doneAt = clock_->microseconds();
    }
    // The transfer ends when the device would have ended it.
    waitForDeviceTime(doneAt);
    return answer;
}

bool SharedScannerServer::takeLock(uint64_t id, uint32_t timeoutMs) {
    std::unique_lock guard(lockMutex_);
    const auto realWait = std::chrono::microseconds(
        static_cast<int64_t>(static_cast<double>(timeoutMs) * 1000.0 / announcement_.speed));
    const bool free = lockReleased_.wait_for(guard, realWait, [&] {
        return lockOwner_ == 0 || lockOwner_ == id || stopping_.load();
    });
    if (!free || stopping_) return false;
    lockOwner_ = id;
    return true;
}

bool SharedScannerServer::giveLock(uint64_t id) {
    {
        std::lock_guard guard(lockMutex_);
        if (lockOwner_ != id) return false;
        lockOwner_ = 0;
    }
    lockReleased_.notify_all();
    return true;
}

}  // namespace ordavel::virtual_scanner
