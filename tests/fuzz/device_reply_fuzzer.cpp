// Fuzzes what the scanner answers: the bytes are a script for the scripted controller (register
// values, reads of a register answered in turn, image data for the data port, answers cut
// short, failing transfers), and the driver runs a page scan or a calibration against it
// through its exports, reading every reply with its real transport and acquisition code. Every
// wait of the driver is bounded in (virtual) time, so each input ends by itself whatever the
// controller answers; libFuzzer's own time-out catches any that would not.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/interface/export_operations.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_scanner.h"

namespace {

using ordavel::fuzz::FuzzInput;
using ordavel::test::PipeCall;
using ordavel::test::ScriptedPipe;

const char kModuleAnchor = 0;
constexpr int kMaxScriptSteps = 64;
constexpr int kMaxReads = 64;
void ApplyScript(FuzzInput& input, ScriptedPipe& pipe) {
    for (int step = 0; step < kMaxScriptSteps && !input.empty(); ++step) {
        switch (input.byte() % 5) {
        case 0: {
            const auto reg = static_cast<uint8_t>(input.byte() & 0x7F);
            const auto values = input.bytes(input.byte() % 32);
            pipe.ScriptReads(reg, std::vector<uint8_t>(values.begin(), values.end()));
            break;
        }
        case 1:
            pipe.QueueData(input.bytes(input.word() % 8192));
            break;
        case 2: {
            const auto address = static_cast<uint8_t>(input.byte() & 0x7F);
            pipe.LimitAnswers(address, input.byte());
            break;
        }
        case 3: {
            const auto call = static_cast<PipeCall>(input.byte() % 4);
            const std::size_t first = 1 + input.word() % 2000;
            pipe.FailCalls(call, first, 1 + input.byte() % 4);
            break;
        }
        default: {
            const auto reg = static_cast<uint8_t>(input.byte() & 0x7F);
            pipe.SetRegister(reg, input.byte());
            break;
        }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace ordavel;
    FuzzInput input(data, size);
    const bool calibrate = (input.byte() & 1) != 0;
    fuzz::FuzzScanner rig;
    rig.scratch().writeNeutralCalibration();
    ScriptedPipe& pipe = rig.attach();
    ApplyScript(input, pipe);

    DriverContext& ctx = rig.ctx();
    interface::AttachLibrary(ctx, &kModuleAnchor);
    if (calibrate) {
        interface::ScanCalibration(ctx);
    } else if (interface::ScanStart(ctx) == 0) {
        std::vector<uint8_t> buffer(65536);
        for (int i = 0; i < kMaxReads; ++i) {
            int32_t got = 0;
            const int32_t rc = interface::ScanRead(ctx, buffer.data(), static_cast<int32_t>(buffer.size()), &got);
            if (got < 0 || got > static_cast<int32_t>(buffer.size())) std::abort();  // more than was asked for
            if (rc != 0 || got == 0) break;
        }
        interface::ScanStop(ctx);
    }
    fuzz::RequireTerminatedStatus(ctx);
    interface::DetachLibrary(ctx);
    return 0;
}
