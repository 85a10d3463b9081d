// Fuzzes the work-file format (".pxl"): the text header and the raw lines after it, analysed as
// calibration reads its scans back. The first byte picks the analysis mode and the colour mode
// and sample depth the scan was made with; the next the lines already counted and wanted.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/calibration/calibration.h"
#include "driver/calibration/work_file_header.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace ordavel;
    fuzz::FuzzInput input(data, size);
    const uint8_t selector = input.byte();
    const uint8_t lines = input.byte();
    const auto file = input.rest();

    // The header parser on its own, on exactly the bytes.
    calibration::ParseWorkFileHeader(file);

    static const char* const kModes[] = {"Coarse", "BlackFine", "WhiteFine"};
    fuzz::FuzzScanner rig;
    rig.write("fuzz.pxl", fuzz::FuzzInput::Text(file));
    DriverContext& ctx = rig.ctx();
    ctx.calibration.colourMode = (selector >> 2) & 3;
    ctx.calibration.bitsPerSample = (selector & 0x10) != 0 ? 8 : 16;
    int32_t counter = (lines & 0x0F) - 1;  // -1 .. 14: below 1 starts afresh
    const int32_t wanted = (lines >> 4) + 1;
    calibration::AnalyseCalibrationScan(ctx, ctx.TempFilePath("fuzz.pxl"), kModes[(selector & 3) % 3], counter,
                                        wanted);
    fuzz::RequireTerminatedStatus(ctx);
    return 0;
}
