// Fuzzes the stored calibration a scan downloads: the shading coefficients "cr.dat" and the
// black line file "BlackFINE.PXL". The first two bytes give the length of the black file's
// part; the rest is "cr.dat". Both are read as the first read of a scan reads them and the
// tables sent to the scripted controller.
#include <cstddef>
#include <cstdint>

#include "driver/engine/scan_setup.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace ordavel;
    fuzz::FuzzInput input(data, size);
    const uint16_t blackLength = input.word();
    const int32_t startPixel = input.word() % 2048;
    fuzz::FuzzScanner rig;
    rig.open();
    rig.write("BlackFINE.PXL", fuzz::FuzzInput::Text(input.bytes(blackLength)));
    rig.write("cr.dat", fuzz::FuzzInput::Text(input.rest()));
    rig.ctx().engine.parms.startpixel = startPixel;
    engine::DownloadStoredShading(rig.ctx());
    fuzz::RequireTerminatedStatus(rig.ctx());
    return 0;
}
