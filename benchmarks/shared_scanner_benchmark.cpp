// Host cost of reaching the virtual scanner through its server instead of in the process: one
// register read (a bulk OUT header and a bulk IN byte) per iteration, with the server running
// at the top speed so the device's own time (two 1 ms frames, 2 µs real) hardly counts. Times
// this cost by the speed and it is the device time the host's work adds to every transfer.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "virtual/shared_scanner_client.h"
#include "virtual/shared_scanner_server.h"
#include "virtual/virtual_backend.h"

namespace {

namespace vs = ordavel::virtual_scanner;

const std::vector<uint8_t> kReadVersion = {0x01, 0x69, 0x00, 0x01};

void ReadRegister(ordavel::platform::RawPipe& pipe) {
    std::vector<uint8_t> answer(1);
    std::size_t received = 0;
    pipe.lock(2000);
    pipe.write(kReadVersion);
    pipe.read(answer, received);
    pipe.unlock();
    benchmark::DoNotOptimize(answer[0]);
}

std::string ReferenceConfig() { return std::string(MIRT_DATA_DIR) + "/virtual/reference.ini"; }

void BM_RegisterReadInProcess(benchmark::State& state) {
    std::string error;
    auto backend = vs::MakeVirtualScannerBackend(ReferenceConfig(), std::make_shared<ordavel::platform::VirtualClock>(), error);
    auto pipe = backend->open(backend->devices().at(0).internalName);
    for (auto _ : state) ReadRegister(*pipe);
}
BENCHMARK(BM_RegisterReadInProcess);

void BM_RegisterReadThroughServer(benchmark::State& state) {
    // A configuration of its own, so no other program's server answers.
    const auto folder = std::filesystem::temp_directory_path() / "mirt-shared-benchmark";
    std::filesystem::create_directories(folder);
    const std::string config = (folder / "scanner.ini").string();
    std::filesystem::copy_file(ReferenceConfig(), config, std::filesystem::copy_options::overwrite_existing);
    std::string error;
    bool running = false;
    vs::SharedServerOverrides overrides;
    overrides.speed = 1000;
    overrides.exitWhenIdle = false;
    auto server = vs::SharedScannerServer::Open(config, overrides, error, running);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    ordavel::platform::PreferPreciseSleeps();  // as the server program does
    std::thread serving([&] { server->run(); });
    {
        auto connection = vs::ConnectSharedScanner(config, {}, error);
        auto pipe = connection->backend->open(connection->backend->devices().at(0).internalName);
        for (auto _ : state) ReadRegister(*pipe);
    }
    server->stop();
    serving.join();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RegisterReadThroughServer)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
