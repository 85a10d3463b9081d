// Client connections, pipes and the backend of the shared virtual scanner.
#include "virtual/shared_scanner_client.h"

#include <algorithm>
#include <mutex>

#include "platform/background_process.h"
#include "platform/clock.h"
#include "platform/local_socket.h"
#include "virtual/shared_scanner_address.h"
#include "virtual/virtual_backend.h"

namespace ordavel::virtual_scanner {

namespace {

constexpr const char* kInternalName = "shared-virtual";
constexpr const char* kServerName = "mirt-virtual-scanner";
// The longest a live server takes to answer, beyond what the request itself waits: a transfer
// costs at most the data port's read timeout of device time. Past it the server is taken for
// hung, and the call fails instead of hanging the driver.
constexpr uint32_t kAnswerSlackMs = 15000;
constexpr uint32_t kRetryMs = 10;
constexpr int kRetriesPerStart = 50;

// One connection to the server, greeted.
class Link {
public:
    enum class Outcome { Connected, NoServer, Refused };

    static std::unique_ptr<Link> Open(const std::string& socketPath, Outcome& outcome, std::string& error) {
        auto link = std::unique_ptr<Link>(new Link());
        link->socket_ = platform::ConnectLocalSocket(socketPath, error);
        outcome = Outcome::NoServer;
        if (!link->socket_.valid()) return nullptr;
        std::vector<uint8_t> hello;
        wire::PutU32(hello, wire::kVersion);
        wire::Message answer;
        // A server that is leaving (idle) may close the connection unanswered: no server.
        if (!link->call(wire::Request::Hello, hello, answer, kAnswerSlackMs)) {
            error = "the virtual scanner server at " + socketPath + " did not answer";
            return nullptr;
        }
        if (answer.kind != static_cast<uint8_t>(wire::Result::Ok)) {
            outcome = Outcome::Refused;
            error.assign(answer.payload.begin(), answer.payload.end());
            return nullptr;
        }
        const auto announcement = wire::DecodeAnnouncement(answer.payload);
        if (!announcement) {
            outcome = Outcome::Refused;
            error = "the virtual scanner server at " + socketPath + " sent a greeting this program cannot read";
            return nullptr;
        }
        link->announcement_ = *announcement;
        outcome = Outcome::Connected;
        return link;
    }

    // One request and its answer; false (and broken from then on) when the server is gone,
    // hung, or answered out of turn.
    bool call(wire::Request kind, std::span<const uint8_t> payload, wire::Message& answer, uint32_t answerMs) {
        std::lock_guard guard(mutex_);
        if (broken_) return false;
        if (wire::Send(socket_, static_cast<uint8_t>(kind), payload, kAnswerSlackMs) != platform::SocketWait::Ok ||
            wire::Receive(socket_, answer, answerMs) != platform::SocketWait::Ok) {
            broken_ = true;
            socket_.close();
            return false;
        }
        return true;
    }
    bool ok(wire::Request kind, std::span<const uint8_t> payload, uint32_t answerMs = kAnswerSlackMs) {
        wire::Message answer;
        return call(kind, payload, answer, answerMs) && answer.kind == static_cast<uint8_t>(wire::Result::Ok);
    }
    bool broken() {
        std::lock_guard guard(mutex_);
        return broken_;
    }
    const wire::Announcement& announcement() const { return announcement_; }

private:
    Link() = default;
    std::mutex mutex_;
    platform::LocalSocket socket_;
    bool broken_ = false;
    wire::Announcement announcement_;
};

// Connects to the server of `address`, starting one when nobody answers.
std::unique_ptr<Link> ConnectOrStart(const SharedScannerAddress& address, const SharedScannerStart& start,
                                     std::string& error) {
    Link::Outcome outcome{};
    if (auto link = Link::Open(address.socketPath, outcome, error)) return link;
    if (outcome == Link::Outcome::Refused) return nullptr;
    if (start.serverProgram.empty()) {
        error = "no virtual scanner server runs for " + address.configPath + " and no server program was found";
        return nullptr;
    }
    const uint64_t deadline = platform::MonotonicMicroseconds() + uint64_t{start.startWaitMs} * 1000;
    for (int tries = 0;; ++tries) {
        // Started again now and then: a server that was just leaving (idle) still held the
        // configuration when the first one we started looked, and that one left at once.
        if (tries % kRetriesPerStart == 0 &&
            !platform::StartBackgroundProgram(start.serverProgram, {address.configPath}, error)) {
            return nullptr;
        }
        platform::SleepRealMicroseconds(uint64_t{kRetryMs} * 1000);
        if (auto link = Link::Open(address.socketPath, outcome, error)) return link;
        if (outcome == Link::Outcome::Refused) return nullptr;
        if (platform::MonotonicMicroseconds() >= deadline) break;
    }
    error = "the virtual scanner server " + start.serverProgram + " did not answer for " + address.configPath;
    return nullptr;
}

class SharedPipe final : public platform::RawPipe {
public:
    explicit SharedPipe(std::unique_ptr<Link> link) : link_(std::move(link)) {}

    bool lock(uint32_t timeoutMs) override {
        std::vector<uint8_t> payload;
        wire::PutU32(payload, timeoutMs);
        // The server waits the timeout in device time; our answer wait covers it in real time.
        const double speed = link_->announcement().speed;
        const auto realWait = static_cast<uint32_t>(static_cast<double>(timeoutMs) / speed);
        return link_->ok(wire::Request::Lock, payload, realWait + kAnswerSlackMs);
    }
    bool unlock() override { return link_->ok(wire::Request::Unlock, {}); }
    bool write(std::span<const uint8_t> data) override { return link_->ok(wire::Request::Write, data); }
    bool read(std::span<uint8_t> buffer, std::size_t& received) override {
        received = 0;
        std::vector<uint8_t> payload;
        wire::PutU32(payload, static_cast<uint32_t>(std::min<std::size_t>(buffer.size(), wire::kMaxPayload)));
        wire::Message answer;
        if (!link_->call(wire::Request::Read, payload, answer, kAnswerSlackMs)) return false;
        if (answer.kind != static_cast<uint8_t>(wire::Result::Ok)) return false;
        received = std::min(answer.payload.size(), buffer.size());
        // An empty answer has no data pointer at all; copy_n of nothing needs none.
        std::copy_n(answer.payload.begin(), received, buffer.begin());
        return true;
    }

private:
    std::unique_ptr<Link> link_;
};

class SharedBackend final : public platform::DeviceBackend {
public:
    SharedBackend(SharedScannerAddress address, SharedScannerStart start, std::unique_ptr<Link> control)
        : address_(std::move(address)), start_(std::move(start)), control_(std::move(control)) {}

    std::vector<platform::DeviceInfo> devices() override {
        std::lock_guard guard(mutex_);
        // A server that died since the last look is found out by this call; the second try
        // reaches its successor.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!reconnect()) return {};
            wire::Message answer;
            if (!control_->call(wire::Request::Present, {}, answer, kAnswerSlackMs)) continue;
            if (answer.kind != static_cast<uint8_t>(wire::Result::Ok) || answer.payload.size() != 1 ||
                answer.payload[0] == 0) {
                return {};
            }
            const auto& a = control_->announcement();
            return {{Utf8ToUtf16(a.manufacturer), Utf8ToUtf16(a.product), kInternalName}};
        }
        return {};
    }

    std::unique_ptr<platform::RawPipe> open(const std::string& internalName) override {
        if (internalName != kInternalName) return nullptr;
        std::lock_guard guard(mutex_);
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!reconnect()) return nullptr;
            Link::Outcome outcome{};
            std::string error;
            if (auto link = Link::Open(address_.socketPath, outcome, error)) {
                return std::make_unique<SharedPipe>(std::move(link));
            }
            if (outcome == Link::Outcome::Refused) return nullptr;
            control_.reset();  // the server is gone: start again
        }
        return nullptr;
    }

private:
    // After the server died, the next look at the device reaches a new one.
    bool reconnect() {
        if (control_ && !control_->broken()) return true;
        std::string error;
        control_ = ConnectOrStart(address_, start_, error);
        return control_ != nullptr;
    }

    SharedScannerAddress address_;
    SharedScannerStart start_;
    std::mutex mutex_;
    std::unique_ptr<Link> control_;
};

}  // namespace

std::optional<SharedScannerConnection> ConnectSharedScanner(const std::string& configPath,
                                                            const SharedScannerStart& start, std::string& error) {
    SharedScannerAddress address;
    if (!SharedScannerAddressFor(configPath, address, error)) return std::nullopt;
    auto control = ConnectOrStart(address, start, error);
    if (!control) return std::nullopt;
    SharedScannerConnection connection;
    connection.announcement = control->announcement();
    connection.backend = std::make_shared<SharedBackend>(std::move(address), start, std::move(control));
    return connection;
}

std::string FindSharedScannerServer(const std::string& fromEnvironment, const std::vector<std::string>& folders) {
    if (!fromEnvironment.empty()) return fromEnvironment;
    for (const auto& folder : folders) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + kServerName;
        if (platform::IsExecutableFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace ordavel::virtual_scanner
