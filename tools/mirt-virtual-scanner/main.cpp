// mirt-virtual-scanner: serves the virtual scanner of one configuration file to every process
// of the user that opens it. The driver starts it on demand (beside the library or program that
// needs it); it ends by itself once no client has been connected for the idle time. It can also
// be run by hand, stopped, or kept running.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <CLI/CLI.hpp>

#include "platform/background_process.h"
#include "platform/clock.h"
#include "platform/local_socket.h"
#include "platform/process.h"
#include "virtual/shared_scanner_protocol.h"
#include "virtual/shared_scanner_server.h"

namespace {

namespace vs = ordavel::virtual_scanner;

// A number from the environment, or nothing when it is unset or not a number.
std::optional<double> EnvironmentNumber(const char* name) {
    const std::string text = ordavel::platform::GetEnvironment(name);
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return std::nullopt;
    return value;
}

int StopServer(const std::string& config) {
    vs::SharedScannerAddress address;
    std::string error;
    if (!vs::SharedScannerAddressFor(config, address, error)) {
        std::fprintf(stderr, "mirt-virtual-scanner: %s\n", error.c_str());
        return 1;
    }
    auto socket = ordavel::platform::ConnectLocalSocket(address.socketPath, error);
    if (!socket.valid()) return 0;  // nothing runs: nothing to stop
    vs::wire::Message answer;
    if (vs::wire::Send(socket, static_cast<uint8_t>(vs::wire::Request::Stop), {}, 5000) !=
            ordavel::platform::SocketWait::Ok ||
        vs::wire::Receive(socket, answer, 5000) != ordavel::platform::SocketWait::Ok) {
        std::fprintf(stderr, "mirt-virtual-scanner: the server of %s did not answer\n", address.configPath.c_str());
        return 1;
    }
    // The answer comes before the server has let go of its address; wait for that, briefly.
    for (int i = 0; i < 500; ++i) {
        auto probe = ordavel::platform::ConnectLocalSocket(address.socketPath, error);
        if (!probe.valid()) return 0;
        ordavel::platform::SleepRealMicroseconds(10000);
    }
    return 0;
}

// Takes the device lock of a running server and keeps it until killed, until the server goes
// away, or for at most `holdMs`: to see how programs behave while another one holds the scanner.
int HoldLock(const std::string& config, uint32_t holdMs) {
    namespace wire = vs::wire;
    vs::SharedScannerAddress address;
    std::string error;
    if (!vs::SharedScannerAddressFor(config, address, error)) {
        std::fprintf(stderr, "mirt-virtual-scanner: %s\n", error.c_str());
        return 1;
    }
    auto socket = ordavel::platform::ConnectLocalSocket(address.socketPath, error);
    if (!socket.valid()) {
        std::fprintf(stderr, "mirt-virtual-scanner: no server runs for %s\n", address.configPath.c_str());
        return 1;
    }
    auto call = [&](wire::Request kind, const std::vector<uint8_t>& payload, uint32_t waitMs) {
        wire::Message answer;
        return wire::Send(socket, static_cast<uint8_t>(kind), payload, 5000) == ordavel::platform::SocketWait::Ok &&
               wire::Receive(socket, answer, waitMs) == ordavel::platform::SocketWait::Ok &&
               answer.kind == static_cast<uint8_t>(wire::Result::Ok);
    };
    std::vector<uint8_t> hello, timeout;
    wire::PutU32(hello, wire::kVersion);
    wire::PutU32(timeout, 2000);
    if (!call(wire::Request::Hello, hello, 5000) || !call(wire::Request::Lock, timeout, 60000)) {
        std::fprintf(stderr, "mirt-virtual-scanner: the device lock of %s could not be had\n", address.configPath.c_str());
        return 1;
    }
    std::printf("locked %ld\n", ordavel::platform::ThisProcessId());
    std::fflush(stdout);
    // Nothing more comes from the server unasked: readable means it closed.
    (void)socket.waitReadable(holdMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"mirt-virtual-scanner - one virtual scanner shared by every program of the user"};
    app.footer(
        "Environment: MIRT_VIRTUAL_SPEED overrides [Sharing] Speed (device time runs that many times\n"
        "faster than real time); MIRT_VIRTUAL_IDLE_MS overrides [Sharing] Idle_Ms.");
    std::string config;
    bool stop = false;
    bool stay = false;
    uint32_t holdMs = 0;
    vs::SharedServerOverrides overrides;
    app.add_option("config", config, "virtual scanner configuration file")->required();
    app.add_flag("--stop", stop, "stop the server of this configuration, if one runs");
    app.add_flag("--stay", stay, "keep running while idle (until stopped)");
    app.add_option("--hold-lock", holdMs,
                   "take the device lock of the running server and hold it this many ms (or until killed)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    if (stop) return StopServer(config);
    if (holdMs > 0) return HoldLock(config, holdMs);

    if (auto speed = EnvironmentNumber("MIRT_VIRTUAL_SPEED")) {
        if (*speed < 1 || *speed > 1000) {
            std::fprintf(stderr, "mirt-virtual-scanner: MIRT_VIRTUAL_SPEED must be from 1 to 1000\n");
            return 2;
        }
        overrides.speed = *speed;
    }
    if (auto idle = EnvironmentNumber("MIRT_VIRTUAL_IDLE_MS"); idle && *idle >= 0) {
        overrides.idleMs = static_cast<uint32_t>(*idle);
    }
    overrides.exitWhenIdle = !stay;

    std::string error;
    bool alreadyRunning = false;
    auto server = vs::SharedScannerServer::Open(config, overrides, error, alreadyRunning);
    if (!server) {
        // Another server serves this configuration: that is success for whoever started us.
        if (alreadyRunning) return 0;
        std::fprintf(stderr, "mirt-virtual-scanner: %s\n", error.c_str());
        return 1;
    }
    server->run();
    return 0;
}
