// Fuzzes a gamma file: the bytes are the scan's gamma file ("gamma_8.gam"), read and downloaded
// to the scripted controller (whose table memory reads back what was written, so the verify
// step passes for whatever the reader made of the file).
#include <cstddef>
#include <cstdint>

#include "driver/description/gamma_tables.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace ordavel;
    fuzz::FuzzScanner rig;
    rig.open();
    rig.write("gamma_8.gam", fuzz::FuzzInput::Text({data, size}));
    description::LoadGammaTables(rig.ctx(), 8);
    fuzz::RequireTerminatedStatus(rig.ctx());
    return 0;
}
